// The numeric reading of text boxes, over the texts people actually type.

#include "window/ValueOfText.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using namespace lumaro;

class TestValueOfText : public QObject
{
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void longInputsStayLinearAndSafe();
};

void TestValueOfText::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const double inf = std::numeric_limits<double>::infinity();
    const struct { QString text; double value; } rows[] = {
        { u""_s, 0 },
        { u"100"_s, 100 },
        { u"  1 2 3  "_s, 123 },
        { u"1\t5"_s, 15 },
        { u"1\n5"_s, 15 },
        { u"1\r5"_s, 1 },             // a carriage return is not skipped
        { u"50%"_s, 50 },
        { u"14pt"_s, 14 },
        { u"2.5"_s, 2.5 },
        { u".5"_s, 0.5 },
        { u"5."_s, 5 },
        { u"."_s, 0 },
        { u"1.2.3"_s, 1.2 },
        { u"1E3"_s, 1000 },
        { u"1e3"_s, 1000 },
        { u"1 E 3"_s, 1000 },
        { u"1.5E+2"_s, 150 },
        { u"1E-2"_s, 0.01 },
        { u"1E"_s, 1 },               // an exponent needs digits
        { u"1E+"_s, 1 },
        { u"1Ex"_s, 1 },
        { u"E3"_s, 0 },
        { u"-5"_s, -5 },
        { u"+5"_s, 5 },
        { u"- 5"_s, -5 },
        { u"-"_s, 0 },
        { u"--5"_s, 0 },
        { u"+-5"_s, 0 },
        { u"abc"_s, 0 },
        { u"１２"_s, 0 },              // full-width digits are not digits here
        { u"&H1F"_s, 31 },
        { u"&h1f"_s, 31 },
        { u"& H 1F"_s, 31 },
        { u"&HFFFF"_s, 65535 },
        { u"&HFFFFFFFF"_s, 4294967295.0 },
        { u"&H"_s, 0 },
        { u"&HG"_s, 0 },
        { u"&O17"_s, 15 },
        { u"&O178"_s, 15 },
        { u"&O8"_s, 0 },
        { u"&17"_s, 0 },
        { u"1E999"_s, inf },
        { u"-1E999"_s, -inf },
        { u"1E-999"_s, 0 },
        { u"1E0000000000000000003"_s, 1000 }, // leading zeros in the exponent
        { u"0.000000000000000000001E21"_s, 1 },
    };
    for (const auto &r : rows)
        QTest::newRow(qPrintable(u'"' + QString(r.text).replace(u'\t', u"\\t"_s).replace(u'\n', u"\\n"_s).replace(u'\r', u"\\r"_s) + u'"'))
            << r.text << r.value;
}

void TestValueOfText::reads()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    const double got = ValueOfText(text);
    if (std::isinf(value))
        QCOMPARE(got, value);
    else
        QVERIFY2(std::abs(got - value) <= 1e-12 * std::max(1.0, std::abs(value)),
                 qPrintable(QString::number(got, 'g', 17)));
}

void TestValueOfText::longInputsStayLinearAndSafe()
{
    // A million zeros then a one; a million nines; a million hex digits.
    QCOMPARE(ValueOfText(QString(1'000'000, u'0') + u"1"_s), 1.0);
    QCOMPARE(ValueOfText(QString(1'000'000, u'9')), std::numeric_limits<double>::infinity());
    QCOMPARE(ValueOfText(u"&H"_s + QString(1'000'000, u'F')), std::numeric_limits<double>::infinity());
    QCOMPARE(ValueOfText(QString(1'000'000, u' ') + u"7"_s), 7.0);
    QCOMPARE(ValueOfText(u"1E"_s + QString(1'000'000, u'9')), std::numeric_limits<double>::infinity());
    QCOMPARE(ValueOfText(u"1E-"_s + QString(1'000'000, u'9')), 0.0);
}

QTEST_APPLESS_MAIN(TestValueOfText)
#include "tst_valueoftext.moc"
