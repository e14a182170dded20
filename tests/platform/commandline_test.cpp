#include <gtest/gtest.h>

#include "platform/commandline.h"

namespace {

struct SplitCase {
    const char* name;
    const char16_t* line;
    std::vector<const char16_t*> words;
    SplitError error = SplitError::None;
    qsizetype errorAt = -1;
};

QStringList toList(const std::vector<const char16_t*>& words)
{
    QStringList list;
    for (const char16_t* word : words)
        list << QString::fromUtf16(word);
    return list;
}

class Splitting : public testing::TestWithParam<SplitCase> {};

TEST_P(Splitting, GivesTheWordsAShellWould)
{
    const SplitCase& c = GetParam();
    const SplitCommandLine result = splitCommandLine(QString::fromUtf16(c.line));
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.errorAt, c.errorAt);
    if (c.error == SplitError::None)
        EXPECT_EQ(result.words, toList(c.words));
    else
        EXPECT_TRUE(result.words.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Words, Splitting,
    testing::Values(
        SplitCase{"one", u"prog", {u"prog"}},
        SplitCase{"blanks_tabs_breaks", u"  a   b\tc\n d ", {u"a", u"b", u"c", u"d"}},
        SplitCase{"single_quotes", u"'a b' c", {u"a b", u"c"}},
        SplitCase{"double_quotes", u"\"a b\" c", {u"a b", u"c"}},
        SplitCase{"quotes_inside_a_word", u"a\"b c\"d'e f'", {u"ab cde f"}},
        SplitCase{"escaped_blank", u"a\\ b", {u"a b"}},
        SplitCase{"empty_words", u"a '' \"\" b", {u"a", u"", u"", u"b"}},
        SplitCase{"apostrophe_spliced", u"'it'\\''s'", {u"it's"}},
        SplitCase{"escapes_in_double_quotes", u"\"say \\\"hi\\\" \\\\ \\$ \\`\"", {u"say \"hi\" \\ $ `"}},
        SplitCase{"other_backslash_in_double_quotes_kept", u"\"a\\b\"", {u"a\\b"}},
        SplitCase{"backslash_in_single_quotes_kept", u"'a\\b'", {u"a\\b"}},
        SplitCase{"nothing_expanded", u"$HOME *.txt ~ `x` ${y}", {u"$HOME", u"*.txt", u"~", u"`x`", u"${y}"}},
        SplitCase{"line_continuation", u"ab\\\ncd", {u"abcd"}},
        SplitCase{"line_continuation_in_double_quotes", u"\"ab\\\ncd\"", {u"abcd"}},
        SplitCase{"line_break_kept_in_quotes", u"'a\nb'", {u"a\nb"}}, SplitCase{"hash_inside_word", u"x#y", {u"x#y"}},
        SplitCase{"comment", u"a #b c\nd", {u"a", u"d"}},
        SplitCase{"quoted_operators", u"'a;b' \"c|d\" e\\&f", {u"a;b", u"c|d", u"e&f"}},
        SplitCase{"path_with_blanks", u"\"/home/me/my app/ADOFix64.msu\"", {u"/home/me/my app/ADOFix64.msu"}},
        SplitCase{"unicode", u"é 'жы ю' \U0001F600", {u"é", u"жы ю", u"\U0001F600"}},
        SplitCase{"unclosed_single", u"a 'b c", {}, SplitError::UnclosedSingleQuote, 2},
        SplitCase{"unclosed_double", u"\"b \\\"", {}, SplitError::UnclosedDoubleQuote, 0},
        SplitCase{"trailing_backslash", u"a\\", {}, SplitError::TrailingBackslash, 1},
        SplitCase{"semicolon", u"a;b", {}, SplitError::ShellOperator, 1},
        SplitCase{"pipe", u"a | b", {}, SplitError::ShellOperator, 2},
        SplitCase{"redirect", u"a >f", {}, SplitError::ShellOperator, 2},
        SplitCase{"background", u"a&", {}, SplitError::ShellOperator, 1},
        SplitCase{"subshell", u"(a)", {}, SplitError::ShellOperator, 0},
        SplitCase{"command_substitution", u"a $(b)", {}, SplitError::ShellOperator, 3},
        SplitCase{"empty", u"", {}, SplitError::Empty, 0}, SplitCase{"blanks_only", u" \t\n", {}, SplitError::Empty, 0},
        SplitCase{"comment_only", u"# nothing", {}, SplitError::Empty, 0}),
    [](const testing::TestParamInfo<SplitCase>& param) { return std::string(param.param.name); });

TEST(QuoteArgument, EveryWordSurvivesTheRoundTrip)
{
    const QStringList words = {QStringLiteral("plain-word_1.txt"),
                               QString(),
                               QStringLiteral("a b"),
                               QStringLiteral("it's"),
                               QStringLiteral("\"quoted\""),
                               QStringLiteral("$HOME"),
                               QStringLiteral("back\\slash\\"),
                               QStringLiteral("new\nline"),
                               QStringLiteral("`cmd` $(cmd)"),
                               QStringLiteral("#not a comment"),
                               QStringLiteral("~"),
                               QStringLiteral("; | & < > ( )"),
                               QStringLiteral("tab\there"),
                               QString::fromUtf16(u"Борис \U0001F600"),
                               QStringLiteral("a\\\nb")};
    QStringList quoted;
    for (const QString& word : words)
        quoted << quoteArgument(word);
    const SplitCommandLine result = splitCommandLine(quoted.join(QLatin1Char(' ')));
    ASSERT_EQ(result.error, SplitError::None);
    EXPECT_EQ(result.words, words);
    // A word that needs no quotes is left as it is.
    EXPECT_EQ(quoteArgument(QStringLiteral("/usr/bin/soffice")), QStringLiteral("/usr/bin/soffice"));
}

} // namespace
