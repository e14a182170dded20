#include <gtest/gtest.h>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "support/fakes.h"

namespace {

// A procedure without a trap of its own: its failure ends it where it stands.
void untrappedProcedure(QStringList& trail)
{
    trail << "untrapped started";
    throw AppError("Division by zero");
    trail << "untrapped finished";
}

} // namespace

TEST(ErrorReport, FixedTextTitleIconAndButton)
{
    ScriptedMessages messages;
    Messages seam(messages);
    ErrorTrap trap(seam, locationTag("Form1", "PushButton2_Click"));
    trap.step(104, [] { throw AppError("no such table: tblContact"); });

    ASSERT_EQ(messages.shown().size(), 1u);
    const MessageRequest& box = messages.shown()[0];
    EXPECT_EQ(box.text, QStringLiteral("no such table: tblContact\r\nin Rondexa2021/08/31.Form1.PushButton2_Click "
                                       "at line 104\r\rPlease email screenshot of this message to "
                                       "support@marrowind.example"));
    EXPECT_EQ(box.title, QStringLiteral("Application Error"));
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
}

TEST(ErrorReport, ResumesAfterFailedStatementConditionAndCall)
{
    ScriptedMessages messages;
    Messages seam(messages);
    ErrorTrap trap(seam, locationTag("Form1", "Form_Load"));
    QStringList trail;

    trap.step(100, [&] { throw AppError("first"); });
    trap.step(102, [&] { trail << "102 ran"; });
    // A condition that fails enters its branch.
    if (trap.test(104, [&]() -> bool { throw AppError("lookup failed"); }))
        trap.step(106, [&] { trail << "branch entered"; });
    // A failing call into an untrapped procedure is reported with the caller's line.
    trap.step(118, [&] { untrappedProcedure(trail); });
    trap.step(120, [&] { trail << "after call"; });

    EXPECT_EQ(trail, QStringList({"102 ran", "branch entered", "untrapped started", "after call"}));
    ASSERT_EQ(messages.shown().size(), 3u);
    EXPECT_TRUE(messages.shown()[0].text.contains("Form1.Form_Load at line 100\r\r"));
    EXPECT_TRUE(messages.shown()[1].text.startsWith("lookup failed\r\n"));
    EXPECT_TRUE(messages.shown()[1].text.contains("at line 104\r\r"));
    EXPECT_TRUE(messages.shown()[2].text.startsWith("Division by zero\r\n"));
    EXPECT_TRUE(messages.shown()[2].text.contains("at line 118\r\r"));
    EXPECT_EQ(trap.reports(), 3);
}

TEST(ErrorReport, SilentModeShowsNothingAndKeepsTheNumber)
{
    ScriptedMessages messages;
    SilentTrap silent;
    QStringList trail;
    silent.step([] { throw AppError("gone", 53); });
    trail << "next";
    EXPECT_EQ(silent.errorNumber(), 53);
    silent.clear();
    silent.step([] { throw std::runtime_error("no number"); });
    EXPECT_NE(silent.errorNumber(), 0);
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(trail, QStringList({"next"}));
}
