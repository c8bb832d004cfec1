// When a retired request buffer may go: only once a clear has covered it, every callback that
// began before that clear has left, and a callback that began after it has returned; or at the
// board's close. Driven step by step with callback scopes opened on this thread.
#include "session/RequestBuffers.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr BoardHandle kBoard = 7;
constexpr BoardHandle kOtherBoard = 8;

// One step and the number of buffers still kept after it.
struct Step {
    std::string what; // retire, retire-other, clear, begin:NAME, end:NAME, close, close-other
    std::size_t kept;
};

struct Case {
    const char *name;
    std::vector<Step> steps;
};

TEST(RetiredBufferTest, BuffersGoOnlyAfterEveryDeliveryThatCouldNameThem)
{
    const std::vector<Case> cases = {
        {"a callback held inside keeps it past a newer one's end",
         {{"begin:old", 0}, {"retire", 1}, {"clear", 1}, {"begin:new", 1}, {"end:new", 1},
          {"end:old", 0}}},
        {"a callback that began before the clear frees nothing",
         {{"begin:old", 0}, {"retire", 1}, {"clear", 1}, {"end:old", 1}, {"begin:new", 1},
          {"end:new", 0}}},
        {"a delivery on its way survives any number of clears",
         {{"retire", 1}, {"clear", 1}, {"clear", 1}, {"begin:late", 1}, {"end:late", 0}}},
        {"nothing goes without a clear", {{"retire", 1}, {"begin:a", 1}, {"end:a", 1}, {"close", 0}}},
        {"a clear before the retirement does not cover it",
         {{"clear", 0}, {"retire", 1}, {"begin:a", 1}, {"end:a", 1}, {"clear", 1}, {"begin:b", 1},
          {"end:b", 0}}},
        {"another board's clear and close leave it alone",
         {{"retire", 1}, {"retire-other", 2}, {"clear", 2}, {"begin:a", 2}, {"end:a", 1},
          {"close", 1}, {"close-other", 0}}},
        {"the board's close frees it with a callback still inside",
         {{"begin:a", 0}, {"retire", 1}, {"close", 0}, {"end:a", 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::map<std::string, std::optional<session::CallbackScope>> scopes;
        for (const Step &step : c.steps) {
            SCOPED_TRACE(step.what);
            const std::string &w = step.what;
            if (w == "retire" || w == "retire-other")
                session::RetireRequestBuffer(w == "retire" ? kBoard : kOtherBoard, fw::ZeroBlock(4096));
            else if (w == "clear")
                session::RequestsDropped(kBoard);
            else if (w == "close" || w == "close-other")
                session::BoardClosed(w == "close" ? kBoard : kOtherBoard);
            else if (w.rfind("begin:", 0) == 0)
                scopes[w.substr(6)].emplace();
            else if (w.rfind("end:", 0) == 0)
                scopes[w.substr(4)].reset();
            EXPECT_EQ(session::RetiredBufferCount(), step.kept);
        }
        scopes.clear();
        session::BoardClosed(kBoard);
        session::BoardClosed(kOtherBoard);
    }
}

} // namespace
