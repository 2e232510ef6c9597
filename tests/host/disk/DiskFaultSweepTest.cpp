// Every open, read, write, sync and rename of the disk web made to fail in turn, as a full disk, a
// failing device or a refused permission would: the failure reaches the caller as host::Failure, what
// was done before it stays, no metadata file is ever left half written, and nothing is leaked.
#include "host/Failure.h"
#include "host/disk/DiskWeb.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/TempWeb.h"

#include <cerrno>
#include <cstring>
#include <sstream>

using namespace disktest;
using host::Value;
using host::disk::DiskApplication;
namespace sys = host::disk::sys;

namespace {

constexpr const char* Mark = "vti_donotpublish";
const std::string Old = "vti_encoding:SR|utf8-nl\r\nvti_author:SR|me\r\n";
const std::string New = Old + "vti_donotpublish:BW|true\r\n";
const std::string Fresh = "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n";

// Fails the n-th call of the disk web from now on (1 = the next one) with `error`.
class FailNthCall {
  public:
    FailNthCall(std::size_t n, int error) {
        sys::setFaultHook([this, n, error](sys::Call) { return ++calls_ == n ? error : 0; });
    }
    ~FailNthCall() { sys::setFaultHook(nullptr); }
    std::size_t calls() const { return calls_; }

  private:
    std::size_t calls_ = 0;
};

std::size_t openDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

class DiskFaultSweepTest : public ::testing::TestWithParam<bool> {
  protected:
    // Three items: two with metadata files already, one in a folder that has none yet.
    void build() {
        fs::remove_all(web);
        for (const char* rel : {"a/p.htm", "a/q.htm"}) {
            put(web / rel);
            put(web / "a" / "_vti_cnf" / fs::path(rel).filename(), Old);
        }
        put(web / "b" / "r.htm");
    }
    std::string state(const char* meta) {
        const fs::path path = web / meta;
        return fs::exists(path) ? get(path) : "(none)";
    }

    TempDir tmp;
    fs::path web = tmp.path() / "web";
    const std::vector<std::string> items{"a/p.htm", "a/q.htm", "b/r.htm"};
    const std::vector<const char*> metas{"a/_vti_cnf/p.htm", "a/_vti_cnf/q.htm", "b/_vti_cnf/r.htm"};
};

} // namespace

// Unlocked, every apply is durable on its own: the items before the failing call are written, the rest
// untouched. Locked, the writes are made durable together: each file is old or new, and all are new
// exactly when nothing failed.
TEST_P(DiskFaultSweepTest, EveryCallFailsInTurn) {
    const bool locked = GetParam();
    for (const int error : {ENOSPC, EIO, EACCES, EROFS}) {
        bool clean = false;
        for (std::size_t n = 1; !clean && n < 500; ++n) {
            build();
            const std::size_t descriptors = openDescriptors();
            std::ostringstream warnings;
            std::size_t done = 0;
            bool failed = false;
            {
                FailNthCall fault(n, error);
                try {
                    DiskApplication app(web, warnings);
                    auto lock = locked ? app.lockForWriting(false) : nullptr;
                    for (const auto& item : items) {
                        auto located = app.activeWeb()->locate(web.string() + "/" + item);
                        if (!located) {
                            ADD_FAILURE() << "call " << n << ": a failure made " << item << " look absent";
                            break;
                        }
                        auto props = located->properties();
                        EXPECT_FALSE(props->item(Mark).textEquals("True"));
                        props->set(Mark, Value::boolean(true));
                        props->apply();
                        ++done;
                    }
                    if (lock)
                        lock->commit();
                } catch (const host::Failure& f) {
                    failed = true;
                    // The cause is named: "Read-only file system" says what to do about it.
                    EXPECT_NE(std::string(f.what()).find(std::strerror(error)), std::string::npos)
                        << "call " << n << ": " << f.what();
                }
                clean = fault.calls() < n;
                EXPECT_EQ(failed, !clean) << "call " << n << " failed and nobody heard of it";
            }
            const std::string where = "errno " + std::to_string(error) + ", call " + std::to_string(n);
            for (std::size_t i = 0; i < items.size(); ++i) {
                const std::string now = state(metas[i]);
                const std::string before = i < 2 ? Old : "(none)";
                const std::string after = i < 2 ? New : Fresh;
                EXPECT_TRUE(now == before || now == after) << where << ": " << metas[i] << " holds\n" << now;
                if (!failed) {
                    EXPECT_EQ(now, after) << where;
                } else if (!locked && i != done) {
                    // The one that failed may have been replaced before its folder's sync failed.
                    EXPECT_EQ(now, i < done ? after : before) << where << ": " << metas[i];
                }
            }
            for (const auto& entry : fs::recursive_directory_iterator(web))
                EXPECT_FALSE(entry.path().filename().string().starts_with(".varnook\\"))
                    << where << ": " << entry.path();
            // Unlocked, a metadata folder made for a write that failed goes again. Locked, one made for a
            // batch whose flush failed may stay, empty: harmless, as the editor's own folders are.
            if (!locked && fs::exists(web / "b" / "_vti_cnf")) {
                EXPECT_FALSE(fs::is_empty(web / "b" / "_vti_cnf"))
                    << where << ": an empty metadata folder was left";
            }
            EXPECT_EQ(openDescriptors(), descriptors) << where << ": descriptors leaked";
        }
        EXPECT_TRUE(clean) << "the sweep never got to the end";
    }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutTheLock, DiskFaultSweepTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Locked" : "Unlocked";
                         });
