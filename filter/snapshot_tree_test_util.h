// Test support: the snapshot that Snapshot::Builder reads from a
// configuration text, held against the configuration tree loaded whole from
// the same text, request by request; and random configuration texts of the
// shapes a file written by hand may take.

#ifndef MERVANE_FILTER_SNAPSHOT_TREE_TEST_UTIL_H_
#define MERVANE_FILTER_SNAPSHOT_TREE_TEST_UTIL_H_

#include <cstdint>
#include <string>

namespace mervane {

// Maps `requests` requests, made of the names the text holds and drawn by
// seed, with the builder's snapshot and with one made from the whole tree
// through the tree's own lookups. Returns the first request they map
// differently and how, or the empty text when they agree on every one.
std::string CompareWithTree(const std::string& text, uint32_t seed,
                            int requests);

// A random configuration text from seed: IPs, hosts and their settings in
// the places the schema gives them, mixed with values named like hosts,
// sections named like settings, names repeated in other letter case, lines
// that end the wrong section, names of 255 bytes and more, bytes above 0x7f
// and lines the reader ignores.
std::string RandomConfiguration(uint32_t seed);

}  // namespace mervane

#endif  // MERVANE_FILTER_SNAPSHOT_TREE_TEST_UTIL_H_
