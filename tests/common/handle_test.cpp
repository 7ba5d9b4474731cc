// The owning handle: who closes what, when, and what Close() hands back.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "common/unique_handle.h"

namespace {

std::vector<int> closed;  // the handles the fake closed, in order
int closeResult = 0;

int FakeClose(int h) noexcept {
    closed.push_back(h);
    return closeResult;
}
using Fake = host::UniqueHandle<int, &FakeClose, -1>;

enum class Op { MoveConstruct, MoveAssign, SelfAssign, Release, Reset, FailingClose, EmptyClose };

// Applies `op` to `a` and `b`; the handle it yields, or the result of a Close().
int Apply(Op op, Fake& a, Fake& b) {
    switch (op) {
        case Op::MoveConstruct: {
            const Fake c(std::move(a));
            return c.get();
        }
        case Op::MoveAssign:
            return (a = std::move(b)).get();
        case Op::SelfAssign: {
            Fake& same = a;
            return (a = std::move(same)).get();
        }
        case Op::Release:
            return a.release();
        case Op::Reset:
            a.reset(3);
            return a.get();
        case Op::FailingClose: {
            closeResult = -1;
            const int rc = a.Close();
            closeResult = 0;
            return rc;
        }
        case Op::EmptyClose:
            return Fake().Close();
    }
    return 0;
}

TEST(UniqueHandle, MovesReleasesResetsAndCloses) {
    const struct {
        Op op;
        int result;
        std::vector<int> closedByOp;
        int a, b;  // what they own afterwards; at first `a` owns 1 and `b` 2
    } cases[] = {
        {Op::MoveConstruct, 1, {1}, -1, 2},  // the new owner died at once
        {Op::MoveAssign, 2, {1}, 2, -1},    {Op::SelfAssign, 1, {}, 1, 2},
        {Op::Release, 1, {}, -1, 2},        {Op::Reset, 3, {1}, 3, 2},
        {Op::FailingClose, -1, {1}, -1, 2}, {Op::EmptyClose, 0, {}, 1, 2},
    };
    for (const auto& c : cases) {
        const int row = int(&c - cases);
        closed.clear();
        {
            Fake a(1), b(2);
            EXPECT_EQ(Apply(c.op, a, b), c.result) << row;
            EXPECT_EQ(closed, c.closedByOp) << row;
            EXPECT_EQ(a.get(), c.a) << row;
            EXPECT_EQ(b.get(), c.b) << row;
            closed.clear();
        }
        // The rest is closed when the owners die, each handle once.
        std::vector<int> rest;
        for (int h : {c.a, c.b})
            if (h != -1) rest.push_back(h);
        std::sort(closed.begin(), closed.end());
        std::sort(rest.begin(), rest.end());
        EXPECT_EQ(closed, rest) << row;
    }
}

TEST(UniqueHandle, ADescriptorIsClosedOnceAndAFailedCloseIsSeen) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    host::UniqueFd in(fds[0]);
    { const host::UniqueFd out(fds[1]); }
    EXPECT_EQ(::fcntl(fds[1], F_GETFD), -1);  // closed with its owner
    EXPECT_EQ(in.Close(), 0);
    EXPECT_FALSE(in);
    EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1);
    errno = 0;
    EXPECT_EQ(host::UniqueFd(fds[0]).Close(), -1);  // no longer open
    EXPECT_EQ(errno, EBADF);
}

}  // namespace
