#pragma once
// Hands the pages of freed memory back to the system. The allocator keeps what was freed for the
// process's next requests, which is right for the small churn of every turn of the loop but keeps
// the resident set high after a rare large piece of work (a report of many thousands of tabs) that
// will not come again soon.

namespace velvix::platform {

void returnFreedMemory();

}  // namespace velvix::platform
