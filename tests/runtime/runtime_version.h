#pragma once
// The ProductVersion of the runtime build's version resource, and the version its environment reports.
#define STANDIN_RUNTIME_VERSION "120.0.2210.55"
