#pragma once

namespace standin {

// Redirects the executable's own imported CreateFileW through a counter that records every call per path,
// so tests can see how often the host opens each content file.
void CountExeCreateFileCalls();

}  // namespace standin
