#include "csv/conversions.h"
#include "recording/convert_error.h"
#include "support/exact.h"

#include <QTest>
#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale.h>
#include <random>

using namespace tesmora;

class TestConversions : public QObject {
    Q_OBJECT
private slots:
    void integer_data();
    void integer();
    void integerFails_data();
    void integerFails();
    void real_data();
    void real();
    void realFails_data();
    void realFails();
    void realAgreesWithTheCLibrary();
    void percent();
};

void TestConversions::integer_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << QByteArray("500") << 500;
    QTest::newRow("leading spaces") << QByteArray("  42") << 42;
    QTest::newRow("plus") << QByteArray("+7") << 7;
    QTest::newRow("minus") << QByteArray("-7") << -7;
    QTest::newRow("leading zeros") << QByteArray("0009") << 9;
    QTest::newRow("dollar hex") << QByteArray("$1F") << 31;
    QTest::newRow("x hex") << QByteArray("x10") << 16;
    QTest::newRow("0x hex") << QByteArray("0xff") << 255;
    QTest::newRow("minus hex") << QByteArray("-$10") << -16;
    QTest::newRow("stops at zero") << QByteArray("12\0zz", 5) << 12;
    QTest::newRow("max") << QByteArray("2147483647") << 2147483647;
    QTest::newRow("min") << QByteArray("-2147483648") << int(-2147483648LL);
    QTest::newRow("65536") << QByteArray("65536") << 65536;
}

void TestConversions::integer() {
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(ConvertInteger(std::string_view(text.constData(), std::size_t(text.size()))), value);
}

void TestConversions::integerFails_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QByteArray("") << "";
    QTest::newRow("spaces only") << QByteArray("   ") << "   ";
    QTest::newRow("trailing space") << QByteArray("56 ") << "56 ";
    QTest::newRow("letters") << QByteArray("abc") << "abc";
    QTest::newRow("decimal point") << QByteArray("1.5") << "1.5";
    QTest::newRow("sign only") << QByteArray("-") << "-";
    QTest::newRow("space after sign") << QByteArray("- 5") << "- 5";
    QTest::newRow("too big") << QByteArray("2147483648") << "2147483648";
    QTest::newRow("far too big") << QByteArray(60, '9') << QString(60, '9');
    QTest::newRow("hex prefix only") << QByteArray("0x") << "0x";
    QTest::newRow("NUL first") << QByteArray("\0"
                                             "5",
                                             2)
                               << "";
}

void TestConversions::integerFails() {
    QFETCH(QByteArray, text);
    QFETCH(QString, shown);
    try {
        ConvertInteger(std::string_view(text.constData(), std::size_t(text.size())));
        QFAIL("converted");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()),
                 "'" + shown + "' is not a valid integer value for Integer type");
    }
}

void TestConversions::real_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("bits");
    auto bits = [](float f) { return std::bit_cast<quint32>(f); };
    QTest::newRow("fixed") << QByteArray(" 0.1234") << bits(0.1234f);
    QTest::newRow("negative") << QByteArray("-0.0500") << bits(-0.05f);
    QTest::newRow("trailing spaces") << QByteArray("65.43  ") << bits(65.43f);
    QTest::newRow("plus sign") << QByteArray("+1.5") << bits(1.5f);
    QTest::newRow("integer") << QByteArray("3") << bits(3.0f);
    QTest::newRow("trailing dot") << QByteArray("3.") << bits(3.0f);
    QTest::newRow("leading dot") << QByteArray(".25") << bits(0.25f);
    QTest::newRow("exponent") << QByteArray("1.5e3") << bits(1500.0f);
    QTest::newRow("exponent sign") << QByteArray("25E-1") << bits(2.5f);
    QTest::newRow("negative zero") << QByteArray("-0.0000") << bits(-0.0f);
    QTest::newRow("nearest float") << QByteArray("0.1") << bits(0.1f);
    QTest::newRow("halfway rounds to even") << QByteArray("16777217") << bits(16777216.0f);
    QTest::newRow("largest float")
        << QByteArray("3.4028235e38") << bits(std::numeric_limits<float>::max());
    QTest::newRow("subnormal") << QByteArray("1e-45")
                               << bits(std::numeric_limits<float>::denorm_min());
    QTest::newRow("below half the smallest") << QByteArray("7e-46") << bits(0.0f);
    QTest::newRow("negative underflow") << QByteArray("-1e-50") << bits(-0.0f);
    QTest::newRow("long exponent underflow") << QByteArray("1e-99999999999999999999") << bits(0.0f);
    QTest::newRow("zero with huge exponent") << QByteArray("0e99999999999999") << bits(0.0f);
    QTest::newRow("many digits") << QByteArray("0." + QByteArray(400, '3')) << bits(1.0f / 3.0f);
    QTest::newRow("inf") << QByteArray("inf") << bits(std::numeric_limits<float>::infinity());
    QTest::newRow("-INF") << QByteArray(" -INF") << bits(-std::numeric_limits<float>::infinity());
    QTest::newRow("Infinity") << QByteArray("Infinity")
                              << bits(std::numeric_limits<float>::infinity());
    QTest::newRow("stops at zero") << QByteArray("2.5\0x", 5) << bits(2.5f);
    QTest::newRow("nan") << QByteArray("nan") << quint32(0x7FC00000);
    QTest::newRow("-nan keeps its sign") << QByteArray("-nan") << quint32(0xFFC00000);
}

void TestConversions::real() {
    QFETCH(QByteArray, text);
    QFETCH(quint32, bits);
    const float v = ConvertReal(std::string_view(text.constData(), std::size_t(text.size())));
    QCOMPARE_EXACT(v, std::bit_cast<float>(bits));
}

void TestConversions::realFails_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("spaces") << QByteArray("  ");
    QTest::newRow("letters") << QByteArray("abc");
    QTest::newRow("comma decimal") << QByteArray("0,5");
    QTest::newRow("two dots") << QByteArray("1.2.3");
    QTest::newRow("dot only") << QByteArray(".");
    QTest::newRow("bare exponent") << QByteArray("1e");
    QTest::newRow("exponent sign only") << QByteArray("1e+");
    QTest::newRow("hex float") << QByteArray("0x1p3");
    QTest::newRow("space inside") << QByteArray("1 2");
    QTest::newRow("beyond float") << QByteArray("3.4028236e38");
    QTest::newRow("negative beyond float") << QByteArray("-1e39");
    QTest::newRow("long exponent overflow") << QByteArray("1e99999999999999999999");
    QTest::newRow("nan with junk") << QByteArray("nanx");
}

void TestConversions::realFails() {
    QFETCH(QByteArray, text);
    try {
        ConvertReal(std::string_view(text.constData(), std::size_t(text.size())));
        QFAIL("converted");
    } catch (const ConvertError& e) {
        QCOMPARE(QString(e.what()),
                 "'" + QString(text) + "' is not a valid floating point value for Single type");
    }
}

void TestConversions::realAgreesWithTheCLibrary() {
    // Random decimals of the forms the files hold, and awkward ones, against strtof in the C
    // locale (correctly rounded): every one must give the same float, bit for bit.
    locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
    std::mt19937_64 rng(20261210);
    char text[64];
    for (int i = 0; i < 400000; ++i) {
        const int decimals = static_cast<int>(rng() % 10);
        const int intDigits = static_cast<int>(rng() % 7);
        std::uint64_t integer = rng() % static_cast<std::uint64_t>(std::pow(10.0, intDigits));
        if (i % 5 == 0) integer = 65535 + rng() % 3; // about the fast path's bound
        const std::uint64_t frac =
            decimals ? rng() % static_cast<std::uint64_t>(std::pow(10.0, decimals)) : 0;
        const char* sign = rng() % 3 == 0 ? "-" : (rng() % 7 == 0 ? " " : "");
        if (decimals)
            std::snprintf(text, sizeof text, "%s%llu.%0*llu", sign,
                          static_cast<unsigned long long>(integer), decimals,
                          static_cast<unsigned long long>(frac));
        else
            std::snprintf(text, sizeof text, "%s%llu", sign,
                          static_cast<unsigned long long>(integer));
        const float expected = strtof_l(text, nullptr, c);
        const float got = ConvertReal(text);
        if (std::bit_cast<quint32>(got) != std::bit_cast<quint32>(expected)) {
            freelocale(c);
            QFAIL(qPrintable(QString("%1: %2 instead of %3")
                                 .arg(text)
                                 .arg(double(got), 0, 'g', 12)
                                 .arg(double(expected), 0, 'g', 12)));
        }
    }
    // Values written with "%7.4f" from random floats read back to the nearest float.
    for (int i = 0; i < 200000; ++i) {
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
        if (!std::isfinite(f) || std::fabs(f) > 1e6f) continue;
        std::snprintf(text, sizeof text, "%7.4f", double(f));
        QCOMPARE_EXACT(ConvertReal(text), strtof_l(text, nullptr, c));
    }
    freelocale(c);
}

void TestConversions::percent() {
    QCOMPARE_EXACT(ConvertPercent(" 65.43"), float(double(65.43f) / 100)); // through the float
    QCOMPARE_EXACT(ConvertPercent("-0.00"), -0.0f);
    // Beyond the float range as percent, within it as a fraction.
    QCOMPARE_EXACT(ConvertPercent("-32700000000000000000000000000000000000000.00"),
                   float(-3.27e40 / 100));
    // A fraction a hair above the largest float still rounds to it; past the midpoint to
    // 2^128 it rounds to infinity and fails.
    const float largest = std::numeric_limits<float>::max();
    QCOMPARE_EXACT(ConvertPercent("3.4028235e40"), largest);
    QCOMPARE_EXACT(ConvertPercent("-3.4028235677973e40"), -largest);
    for (const char* bad : {"1e50", "abc", "1e400", "3.4028236e40"}) {
        try {
            ConvertPercent(bad);
            QFAIL(bad);
        } catch (const ConvertError& e) {
            QCOMPARE(QString(e.what()),
                     QString("'%1' is not a valid floating point value for Single type").arg(bad));
        }
    }
}

QTEST_APPLESS_MAIN(TestConversions)
#include "tst_conversions.moc"
