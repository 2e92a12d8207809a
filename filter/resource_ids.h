// Ids of the filter library's string resources, shared by the Windows
// resource script and the code. A macro, because the resource compiler reads
// this file too.

#ifndef MERVANE_FILTER_RESOURCE_IDS_H_
#define MERVANE_FILTER_RESOURCE_IDS_H_

// The filter's description, reported to the server by GetFilterVersion.
#define IDS_FILTER_DESCRIPTION 101

#endif  // MERVANE_FILTER_RESOURCE_IDS_H_
