#include <gtest/gtest.h>

#include "base/apperror.h"
#include "model/storeddate.h"

TEST(StoredDate, FormatsMonthDayYearWithTheRegionalSeparator)
{
    const QDate date(1978, 4, 4);
    EXPECT_EQ(formatStoredDate(date, QLocale(QLocale::English, QLocale::UnitedStates)), "04/04/1978");
    EXPECT_EQ(formatStoredDate(date, QLocale(QLocale::German, QLocale::Germany)), "04.04.1978");
    EXPECT_EQ(formatStoredDate(QDate(1601, 1, 1), QLocale(QLocale::English, QLocale::UnitedStates)), "01/01/1601");
    EXPECT_EQ(formatStoredDate(QDate(9999, 12, 31), QLocale(QLocale::Swedish, QLocale::Sweden)), "12-31-9999");
}

TEST(StoredDate, ReadsMonthFirstWithAnySeparatorAndRefusesTheRest)
{
    EXPECT_EQ(readStoredDate("04/05/1978"), QDate(1978, 4, 5));
    EXPECT_EQ(readStoredDate("04.05.1978"), QDate(1978, 4, 5));
    EXPECT_EQ(readStoredDate("04-05-1978"), QDate(1978, 4, 5));
    EXPECT_EQ(readStoredDate("4/5/1978"), QDate(1978, 4, 5));
    EXPECT_EQ(readStoredDate("02/29/2000"), QDate(2000, 2, 29));
    for (const char* bad : {"", "/", "04/05", "04/05/78", "04/05/1978/", "13/01/2000", "02/30/2000", "02/29/1900",
                            "12/31/1600", "04/05.1978", "04//1978", " 04/05/1978", "04/05/19789", "004/05/1978",
                            "04/05/1978 ", "a4/05/1978", "０4/05/1978"})
        EXPECT_THROW(readStoredDate(QString::fromUtf8(bad)), AppError) << bad;
}
