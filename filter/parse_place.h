// ParsePlace: whether the thread of the request whose check found a changed
// configuration may parse its text. A server that serves many connections on
// one thread (an event loop) takes that parse to a thread that may block
// (isapi::kParseElsewhere); mapping an index never needs to move.

#ifndef MERVANE_FILTER_PARSE_PLACE_H_
#define MERVANE_FILTER_PARSE_PLACE_H_

namespace mervane {

class ParsePlace {
 public:
  virtual ~ParsePlace() = default;

  // True when the server delivers the request again from a thread that may
  // block, so that nothing is to be parsed, mapped or logged now.
  virtual bool TakesParseElsewhere() = 0;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_PARSE_PLACE_H_
