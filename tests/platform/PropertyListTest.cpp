// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/settings/PropertyList.h"
#include "testsupport/TestEnvironment.h"

#include <QDateTime>
#include <QFile>
#include <QPointF>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QByteArray fixture(const char* name)
{
    QFile file(sourceDir() + QStringLiteral("/tests/platform/data/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QVariantMap sample()
{
    return {
        {"negative", qint64(-1)},
        {"min", std::numeric_limits<qint64>::min()},
        {"max", std::numeric_limits<qint64>::max()},
        {"yes", true},
        {"no", false},
        {"real", 0.1},
        {"whole real", 2.0},
        {"data", QByteArray("\0\x01\xff", 3)},
        {"date", QDateTime(QDate(2026, 12, 7), QTime(12, 4, 55), Qt::UTC)},
        {"old date", QDateTime(QDate(1990, 6, 1), QTime(0, 0, 1), Qt::UTC)},
        {"text", QStringLiteral("caf\u00e9 <&> \"quoted\" \u263a")},
        {"empty", QString()},
        {"list", QVariantList{qint64(1), QStringLiteral("two"), QVariantList{}, QVariantMap{}}},
        {"nested", QVariantMap{{"inner", QVariantMap{{"deep", QVariantList{qint64(-7)}}}}}},
    };
}

QByteArray nestedXml(int depth)
{
    QByteArray xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        xml += "<array>";
    for (int i = 0; i < depth; ++i)
        xml += "</array>";
    return xml + "</plist>";
}

// A binary list of `depth` arrays, each holding the next one, object 0 outermost.
QByteArray nestedBinary(int depth, bool cycle = false)
{
    QByteArray out = "bplist00";
    QList<quint32> offsets;
    for (int i = 0; i < depth; ++i) {
        offsets.append(static_cast<quint32>(out.size()));
        const bool last = i == depth - 1;
        if (last && !cycle) {
            out += char(0xA0);
        } else {
            out += char(0xA1);
            const quint32 ref = last ? 0 : static_cast<quint32>(i + 1);
            out += char(ref >> 8);
            out += char(ref & 0xFF);
        }
    }
    const quint64 table = static_cast<quint64>(out.size());
    for (quint32 o : offsets) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += char((o >> shift) & 0xFF);
    }
    QByteArray trailer(32, '\0');
    trailer[6] = 4;
    trailer[7] = 2;
    for (int i = 0; i < 8; ++i) {
        trailer[8 + i] = char((quint64(depth) >> (56 - 8 * i)) & 0xFF);
        trailer[24 + i] = char((table >> (56 - 8 * i)) & 0xFF);
    }
    return out + trailer;
}

} // namespace

TEST(PropertyListTest, every_type_survives_an_xml_round_trip)
{
    const QVariantMap original = sample();
    const QByteArray xml = PropertyList::toXml(original);
    ASSERT_TRUE(xml.startsWith("<?xml"));
    const std::optional<QVariant> back = PropertyList::fromData(xml);
    ASSERT_TRUE(back.has_value());
    const QVariantMap map = back->toMap();
    ASSERT_EQ(map.keys(), original.keys());
    for (auto it = original.cbegin(); it != original.cend(); ++it)
        EXPECT_EQ(map.value(it.key()), it.value()) << qPrintable(it.key());
    EXPECT_EQ(map.value("yes").typeId(), QMetaType::Bool);
    EXPECT_EQ(map.value("negative").typeId(), QMetaType::LongLong);
    EXPECT_EQ(map.value("whole real").typeId(), QMetaType::Double);
    EXPECT_EQ(map.value("date").toDateTime().timeSpec(), Qt::UTC);

    // A binary list may hold reals that are not finite; the XML written for them must read back.
    const QVariantList special =
        PropertyList::fromData(PropertyList::toXml(QVariantList{qInf(), -qInf(), qQNaN()}))
            .value_or(QVariant())
            .toList();
    ASSERT_EQ(special.size(), 3);
    EXPECT_EQ(special[0].toDouble(), qInf());
    EXPECT_EQ(special[1].toDouble(), -qInf());
    EXPECT_TRUE(qIsNaN(special[2].toDouble()));
}

TEST(PropertyListTest, values_without_a_plist_form_are_left_out)
{
    const QVariantMap tree{{"kept", qint64(1)},
                           {"point", QPointF(1, 2)},
                           {"nul", QString(QChar(0))},
                           {"invalid", QVariant()},
                           {"list", QVariantList{QVariant(), QStringLiteral("x")}}};
    const QVariantMap back = PropertyList::fromData(PropertyList::toXml(tree)).value_or(QVariant()).toMap();
    EXPECT_EQ(back, (QVariantMap{{"kept", qint64(1)}, {"list", QVariantList{QStringLiteral("x")}}}));
    EXPECT_TRUE(PropertyList::toXml(QVariant()).isEmpty());
}

TEST(PropertyListTest, lists_written_by_plistlib_read_back_in_both_encodings)
{
    for (const char* name : {"plistlib.xml", "plistlib.bplist"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes = fixture(name);
        ASSERT_FALSE(bytes.isEmpty());
        const std::optional<QVariant> root = PropertyList::fromData(bytes);
        ASSERT_TRUE(root.has_value());
        const QVariantMap map = root->toMap();
        EXPECT_EQ(map.value("negative"), QVariant(qint64(-1)));
        EXPECT_EQ(map.value("min64"), QVariant(std::numeric_limits<qint64>::min()));
        EXPECT_EQ(map.value("max64"), QVariant(std::numeric_limits<qint64>::max()));
        EXPECT_EQ(map.value("big"), QVariant(qint64(1) << 40));
        EXPECT_EQ(map.value("zero"), QVariant(qint64(0)));
        EXPECT_EQ(map.value("yes"), QVariant(true));
        EXPECT_EQ(map.value("no"), QVariant(false));
        EXPECT_EQ(map.value("pi"), QVariant(3.25));
        EXPECT_EQ(map.value("tiny"), QVariant(-1.5e-300));
        EXPECT_EQ(map.value("when"), QVariant(QDateTime(QDate(2026, 12, 7), QTime(12, 4, 55), Qt::UTC)));
        EXPECT_EQ(map.value("old"), QVariant(QDateTime(QDate(1999, 1, 2), QTime(3, 4, 5), Qt::UTC)));
        EXPECT_EQ(map.value("blob"), QVariant(QByteArray("\x00\x01\x02\xfe\xff", 5)));
        EXPECT_EQ(map.value("text"), QVariant(QStringLiteral("caf\u00e9 <&> \u263a")));
        EXPECT_EQ(map.value("list"), QVariant(QVariantList{qint64(1), QStringLiteral("two"),
                                                           QVariantList{false}, QVariantMap{}}));
        EXPECT_EQ(map.value("nested").toMap().value("inner").toMap().value("deep"),
                  QVariant(QVariantList{qint64(-7)}));
    }
}

TEST(PropertyListTest, garbage_and_truncated_input_is_rejected)
{
    EXPECT_FALSE(PropertyList::fromData({}));
    EXPECT_FALSE(PropertyList::fromData("not a plist at all"));
    EXPECT_FALSE(PropertyList::fromData("bplist00"));
    const QByteArray binary = fixture("plistlib.bplist");
    const QByteArray xml = fixture("plistlib.xml");
    for (qsizetype n = 1; n < binary.size(); n += 7)
        EXPECT_FALSE(PropertyList::fromData(binary.left(n))) << n;
    EXPECT_FALSE(PropertyList::fromData(xml.left(xml.size() / 2)));
    // A reference outside the object table.
    QByteArray badRef = nestedBinary(2);
    badRef[10] = char(0x7F);
    EXPECT_FALSE(PropertyList::fromData(badRef));
}

TEST(PropertyListTest, nesting_is_accepted_up_to_the_cap_and_rejected_beyond)
{
    EXPECT_TRUE(PropertyList::fromData(nestedXml(100)));
    EXPECT_TRUE(PropertyList::fromData(nestedBinary(100)));
    EXPECT_FALSE(PropertyList::fromData(nestedXml(600)));
    EXPECT_FALSE(PropertyList::fromData(nestedXml(200000)));
    EXPECT_FALSE(PropertyList::fromData(nestedBinary(600)));
    EXPECT_FALSE(PropertyList::fromData(nestedBinary(5, true)));

    QVariant deep = QVariantList{};
    for (int i = 0; i < 600; ++i)
        deep = QVariantList{deep};
    EXPECT_TRUE(PropertyList::toXml(deep).isEmpty());
}

TEST(PropertyListTest, shared_binary_objects_cannot_expand_without_bound)
{
    // Each array holds the next one twice: 40 levels would expand to 2^40 values.
    QByteArray out = "bplist00";
    const int levels = 40;
    QList<quint32> offsets;
    for (int i = 0; i < levels; ++i) {
        offsets.append(static_cast<quint32>(out.size()));
        if (i == levels - 1) {
            out += char(0xA0);
            continue;
        }
        out += char(0xA2);
        out += char(i + 1);
        out += char(i + 1);
    }
    const char table = static_cast<char>(out.size());
    for (quint32 o : offsets)
        out += char(o);
    QByteArray trailer(32, '\0');
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = char(levels);
    trailer[31] = table;
    EXPECT_FALSE(PropertyList::fromData(out + trailer));
}

TEST(PropertyListTest, keys_holding_nul_are_rejected_before_libplist_asserts_on_them)
{
    auto dictWithKey = [](const QByteArray& key) {
        QByteArray out = "bplist00";
        out += QByteArray("\xD1\x01\x02", 3);
        out += char(0x50 | key.size()) + key;
        const char valueAt = static_cast<char>(out.size());
        out += char(0x09);
        const char table = static_cast<char>(out.size());
        out += QByteArray("\x08\x0B", 2) + valueAt;
        QByteArray trailer(32, '\0');
        trailer[6] = 1;
        trailer[7] = 1;
        trailer[15] = 3;
        trailer[31] = table;
        return out + trailer;
    };
    EXPECT_EQ(PropertyList::fromData(dictWithKey("jk")).value_or(QVariant()),
              QVariant(QVariantMap{{"jk", true}}));
    EXPECT_FALSE(PropertyList::fromData(dictWithKey(QByteArray("j\0", 2))));
    EXPECT_FALSE(
        PropertyList::fromData(QByteArray("<plist><dict><key>a\0b</key><true/></dict></plist>", 49)));
}

TEST(PropertyListTest, readFile_reports_missing_and_reads_present_files)
{
    TestEnvironment env;
    EXPECT_FALSE(PropertyList::readFile(env.root() + "/absent.plist"));
    const QString path = env.writeFile("a.plist", PropertyList::toXml(QVariantMap{{"k", true}}));
    EXPECT_EQ(PropertyList::readFile(path).value_or(QVariant()), QVariant(QVariantMap{{"k", true}}));
}
