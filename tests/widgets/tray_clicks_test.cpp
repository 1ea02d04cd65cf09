#include "platform/x11/xembedclicks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vornik {
namespace {

using Button = TrayClickTranslator::Button;

struct Input {
    bool press;
    Button button;
    std::uint32_t time;
    int x, y;
};

struct ClickCase {
    std::string name;
    std::vector<Input> inputs;
    std::vector<UINT> expected;
};

void PrintTo(const ClickCase& sequence, std::ostream* out) {
    *out << sequence.name;
}

class TrayClicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(TrayClicks, TranslatesTheServerEventsIntoTheCallbackMessages) {
    TrayClickTranslator clicks(400, 4);
    std::vector<UINT> got;
    for (const Input& input : GetParam().inputs)
        got.push_back(input.press ? clicks.press(input.button, input.time, input.x, input.y)
                                  : clicks.release(input.button));
    EXPECT_EQ(got, GetParam().expected);
}

constexpr Button L = Button::Left, R = Button::Right, M = Button::Middle;

INSTANTIATE_TEST_SUITE_P(
    Sequences, TrayClicks,
    ::testing::Values(
        ClickCase{
            "LeftDoubleClick",
            {{true, L, 1000, 5, 5}, {false, L, 1050, 5, 5}, {true, L, 1200, 6, 5}, {false, L, 1250, 6, 5}},
            {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
        ClickCase{"RightDoubleClick",
                  {{true, R, 10, 5, 5}, {false, R, 20, 5, 5}, {true, R, 300, 5, 5}, {false, R, 320, 5, 5}},
                  {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_RBUTTONUP}},
        ClickCase{"MiddleDoubleClick",
                  {{true, M, 10, 5, 5}, {false, M, 20, 5, 5}, {true, M, 30, 5, 5}},
                  {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}},
        ClickCase{"SecondPressTooLateIsAPress",
                  {{true, L, 1000, 5, 5}, {false, L, 1050, 5, 5}, {true, L, 1401, 5, 5}},
                  {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN}},
        ClickCase{"SecondPressAtTheIntervalIsADoubleClick",
                  {{true, L, 1000, 5, 5}, {true, L, 1400, 5, 5}},
                  {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}},
        ClickCase{"SecondPressTooFarIsAPress",
                  {{true, L, 1000, 5, 5}, {true, L, 1100, 10, 5}},
                  {WM_LBUTTONDOWN, WM_LBUTTONDOWN}},
        ClickCase{"OtherButtonIsAPress",
                  {{true, L, 1000, 5, 5}, {false, L, 1010, 5, 5}, {true, R, 1100, 5, 5}},
                  {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN}},
        ClickCase{"ThirdQuickPressStartsAfresh",
                  {{true, L, 0, 5, 5}, {true, L, 100, 5, 5}, {true, L, 200, 5, 5}, {true, L, 300, 5, 5}},
                  {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}},
        ClickCase{"ServerTimeWrapsAround",
                  {{true, L, 0xFFFFFF00u, 5, 5}, {true, L, 0x50u, 5, 5}},
                  {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}}),
    [](const ::testing::TestParamInfo<ClickCase>& param) { return param.param.name; });

} // namespace
} // namespace vornik
