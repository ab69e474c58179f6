// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bindings/KeyValueCoding.h"
#include "platform/bindings/Bindings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class Model : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool flag READ flag WRITE setFlag NOTIFY flagChanged)
    Q_PROPERTY(int level MEMBER level NOTIFY levelChanged)
    Q_PROPERTY(QVariantList items MEMBER items NOTIFY itemsChanged)
    Q_PROPERTY(QVariantMap chosen MEMBER chosen NOTIFY chosenChanged)
public:
    bool flag() const { return m_flag; }
    void setFlag(bool value)
    {
        ++setterCalls;
        if (m_flag == value)
            return;
        m_flag = value;
        emit flagChanged(value);
    }
    bool m_flag = false;
    int level = 0;
    int setterCalls = 0;
    QVariantList items;
    QVariantMap chosen;
signals:
    void flagChanged(bool);
    void levelChanged();
    void itemsChanged();
    void chosenChanged();
};

struct Recorder {
    QList<KeyValueChange> changes;
    KeyValueObserver handler()
    {
        return [this](const KeyValueChange& change) { changes.append(change); };
    }
};

QVariantMap entry(const QString& name)
{
    return {{QStringLiteral("name"), name}};
}

TEST(KeyValueCodingTest, every_change_reaches_observers_once_with_old_new_and_context)
{
    Model model;
    QObject observer;
    Recorder recorder;
    const int context = 0;
    addObserver(&model, "flag", &observer, recorder.handler(), &context);

    EXPECT_TRUE(setValueForKey(&model, true, "flag"));
    EXPECT_EQ(model.setterCalls, 1);
    ASSERT_EQ(recorder.changes.size(), 1); // synchronously, not twice for the setter's signal
    EXPECT_EQ(recorder.changes[0].oldValue, false);
    EXPECT_EQ(recorder.changes[0].newValue, true);
    EXPECT_EQ(recorder.changes[0].context, &context);

    // Setting the same value still tells; a direct setter call tells through the signal.
    setValueForKey(&model, true, "flag");
    model.setFlag(false);
    ASSERT_EQ(recorder.changes.size(), 3);
    EXPECT_EQ(recorder.changes[1].oldValue, true);
    EXPECT_EQ(recorder.changes[2].oldValue, true);
    EXPECT_EQ(recorder.changes[2].newValue, false);

    EXPECT_FALSE(setValueForKey(&model, 1, "noSuchKey"));
    removeObserver(&model, "flag", &observer);
    setValueForKey(&model, true, "flag");
    EXPECT_EQ(recorder.changes.size(), 3);
}

TEST(KeyValueCodingTest, bracketed_field_change_is_one_change_from_the_old_value)
{
    Model model;
    QObject observer;
    Recorder recorder;
    addObserver(&model, "level", &observer, recorder.handler());
    willChangeValueForKey(&model, "level");
    willChangeValueForKey(&model, "level");
    model.level = 5;
    setValueForKey(&model, 7, "level"); // inside the bracket: held back
    didChangeValueForKey(&model, "level");
    EXPECT_TRUE(recorder.changes.isEmpty());
    didChangeValueForKey(&model, "level");
    ASSERT_EQ(recorder.changes.size(), 1);
    EXPECT_EQ(recorder.changes[0].oldValue, 0);
    EXPECT_EQ(recorder.changes[0].newValue, 7);
}

TEST(KeyValueCodingTest, observers_may_change_keys_and_go_away_inside_a_change)
{
    Model model;
    auto* first = new QObject;
    QObject second;
    Recorder recorder;
    addObserver(&model, "level", first, [&](const KeyValueChange& change) {
        delete first;
        if (change.newValue.toInt() < 3)
            setValueForKey(&model, change.newValue.toInt() + 1, "level");
    });
    addObserver(&model, "level", &second, recorder.handler());
    setValueForKey(&model, 1, "level");
    EXPECT_EQ(model.level, 2);
    // The second observer heard the nested change; the outer one did not reach it again afterwards with
    // a stale value.
    ASSERT_FALSE(recorder.changes.isEmpty());
    EXPECT_EQ(recorder.changes.last().newValue, 2);
    for (const KeyValueChange& change : recorder.changes)
        EXPECT_NE(change.oldValue, change.newValue);
}

TEST(KeyValueCodingTest, list_proxy_edits_reach_observers_and_the_bound_box)
{
    Model model;
    model.items = {entry("a"), entry("b")};
    model.chosen = entry("b");
    QComboBox box;
    bindChoice(&box, &model, "items", "chosen", QStringLiteral("name"));
    ASSERT_EQ(box.count(), 2);
    EXPECT_EQ(box.currentText(), "b");

    QObject observer;
    Recorder items, chosen;
    addObserver(&model, "items", &observer, items.handler());
    addObserver(&model, "chosen", &observer, chosen.handler());
    MutableArrayProxy proxy = mutableArrayValueForKey(&model, "items");
    proxy.insert(0, entry("c"));
    proxy.removeAt(2);
    proxy.insert(9, entry("ignored"));
    ASSERT_EQ(items.changes.size(), 2);
    EXPECT_EQ(items.changes[1].oldValue.toList().size(), 3);
    EXPECT_EQ(model.items, (QVariantList{entry("c"), entry("a")}));
    ASSERT_EQ(box.count(), 2);
    EXPECT_EQ(box.itemText(0), "c");
    EXPECT_EQ(box.currentIndex(), -1);     // "b" is gone
    EXPECT_TRUE(chosen.changes.isEmpty()); // showing it set nothing back

    // A pick sets the key, also when it is already chosen.
    emit box.activated(1);
    emit box.activated(1);
    ASSERT_EQ(chosen.changes.size(), 2);
    EXPECT_EQ(model.chosen, entry("a"));
    setValueForKey(&model, entry("c"), "chosen");
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(chosen.changes.size(), 3);
}

TEST(KeyValueCodingTest, check_box_binding_goes_both_ways_without_echo)
{
    Model model;
    QCheckBox box;
    bind(&box, "checked", &model, "flag");
    EXPECT_FALSE(box.isChecked());
    setValueForKey(&model, true, "flag");
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(model.setterCalls, 1);
    box.click();
    EXPECT_FALSE(model.flag());
    EXPECT_EQ(model.setterCalls, 2);
    QWidget* gone = new QCheckBox;
    bind(gone, "checked", &model, "flag");
    delete gone;
    setValueForKey(&model, true, "flag");
    EXPECT_TRUE(box.isChecked());
}

} // namespace

#include "KeyValueCodingTest.moc"
