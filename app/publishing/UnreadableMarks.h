#pragma once

#include <map>
#include <string>

// A mark that cannot be read shows "publish", in the window as in the editor. A deploy built on such a
// window could send what its author marked "Don't Publish", so whoever shows or deploys the web says so.
namespace app {

// "the marks of 2 items cannot be read, so they show published: a.htm (why); b/c.htm (why)", naming the
// first three; empty when every mark was read.
std::string describeUnreadableMarks(const std::map<std::string, std::string>& unreadable);

// Throws host::Failure naming the items when a mark could not be read: for the commands that feed a
// deploy (excluded, check).
void requireEveryMarkRead(const std::map<std::string, std::string>& unreadable);

} // namespace app
