// The platform message box hook and the beep.
#include <gtest/gtest.h>

#include "platform/App.h"
#include "support/HookRecorder.h"
#include "platform/MessageBox.h"

namespace {

struct DefaultCase { int buttons; int expected; };

TEST(MessageBox, DefaultButtonResultOfEveryButtonSet) {
    const DefaultCase cases[] = {
        {vbOKOnly, vbOK},
        {vbOKCancel, vbOK},
        {vbOKCancel | vbDefaultButton2, vbCancel},
        {vbAbortRetryIgnore, vbAbort},
        {vbAbortRetryIgnore | vbDefaultButton2, vbRetry},
        {vbAbortRetryIgnore | vbDefaultButton3, vbIgnore},
        {vbYesNoCancel, vbYes},
        {vbYesNoCancel | vbDefaultButton3, vbCancel},
        {vbYesNo, vbYes},
        {vbYesNo | vbDefaultButton2, vbNo},
        {vbYesNo | vbDefaultButton3, vbYes}, // no third button: the first
        {vbRetryCancel, vbRetry},
        {vbRetryCancel | vbDefaultButton2, vbCancel},
        {vbOKOnly | vbCritical, vbOK},
        {vbYesNo | vbQuestion | vbDefaultButton2, vbNo},
        {6, vbOK}, // no such set: OK
    };
    for (const auto& c : cases) EXPECT_EQ(DefaultButtonResult(c.buttons), c.expected) << "buttons " << c.buttons;
}

TEST(MessageBox, WithoutHandlerNothingIsShownAndTheDefaultButtonAnswers) {
    auto old = SetMessageBoxHandler({});
    EXPECT_EQ(MsgBox("Overwrite?", vbYesNo | vbDefaultButton2, "Varnello"), vbNo);
    EXPECT_EQ(MsgBox("Done"), vbOK);
    SetMessageBoxHandler(std::move(old));
}

TEST(MessageBox, HandlerReceivesPromptButtonsAndTitleAndAnswers) {
    vtest::HookRecorder rec(vbRetry);
    EXPECT_EQ(MsgBox("Disk not ready", vbRetryCancel | vbExclamation, "Copy"), vbRetry);
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].prompt, "Disk not ready");
    EXPECT_EQ(rec.messages[0].buttons, vbRetryCancel | vbExclamation);
    EXPECT_EQ(rec.messages[0].title, "Copy");
}

TEST(MessageBox, EmptyTitleBecomesTheApplicationTitle) {
    platform::App::SetTitle("Varnello");
    vtest::HookRecorder rec;
    MsgBox("Hello");
    ASSERT_EQ(rec.messages.size(), 1u);
    EXPECT_EQ(rec.messages[0].title, "Varnello");
    platform::App::SetTitle({});
}

TEST(MessageBox, BeepGoesToTheBeepHandler) {
    vtest::HookRecorder rec;
    Beep();
    Beep();
    EXPECT_EQ(rec.beeps, 2);
}

} // namespace
