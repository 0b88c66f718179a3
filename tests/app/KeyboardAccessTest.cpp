// SPDX-License-Identifier: GPL-3.0-or-later
// The window for people who use the keyboard or a screen reader: Tab walks the controls in
// reading order and the focused one shows a ring that a mouse user never sees; Space and Enter
// press buttons; every button and the list carry a name and a description.
#include <QAccessible>
#include <QApplication>
#include <QtTest>
#include <map>

#include "support/MainWindowFixture.h"

using namespace sonarel;
using sonarel::testing::kReadingOrder;
using sonarel::testing::MainWindowFixture;

namespace {

struct Names {
    int id;
    const char* name;
    const char* description;
};

// Captions as screen readers should say them (without the mnemonic's "&"); the tooltip where a
// button has no caption.
constexpr Names kButtonNames[] = {
    {kIdAdd, "Add", "Add audio files to list"},
    {kIdOptions, "Options", "Customize output options"},
    {kIdMix, "Mix", "Mix files to wav"},
    {kIdHelp, "Help", "Help"},
    {kIdExit, "Exit", "Exit"},
    {kIdDeleteSelected, "Delete selected items", "Delete selected items"},
    {kIdDeleteAll, "Delete all items", "Delete all items"},
    {kIdProperties, "Change selected item's properties", "Change selected item's properties"},
    {kIdHomepage, "Homepage", "Homepage"},
    {kIdAbout, "About", "About"},
};

QImage look(QWidget* widget)
{
    return widget->grab().toImage();
}

// Whether the list's ring shows: its colour just inside the viewport's lower left corner, where
// no row lies.
bool listRingShown(MixListView& list)
{
    const QPoint corner = list.viewport()->geometry().bottomLeft() + QPoint(1, -1);
    return look(&list).pixelColor(corner) == list.palette().color(QPalette::Active, QPalette::Highlight);
}

}  // namespace

class KeyboardAccessTest : public QObject {
    Q_OBJECT

private:
    sonarel::testing::MainWindowScratch scratch_;

    // A shown, active window with two rows in its list.
    std::unique_ptr<MainWindowFixture> showWindow()
    {
        auto f = scratch_.makeWindow();
        f->dialog.addFiles({scratch_.tone(QStringLiteral("birds.wav"), 0.2),
                            scratch_.tone(QStringLiteral("voice.wav"), 0.2)});
        f->dialog.show();
        f->dialog.activateWindow();
        if (!QTest::qWaitForWindowActive(&f->dialog))
            return nullptr;
        return f;
    }

    static void pressTab(bool backwards = false)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(scratch_.setUp()); }

    void tabWalksInReadingOrderShowingARingTheMouseNeverShows()
    {
        auto f = showWindow();
        QVERIFY(f);
        f->control(kIdAbout)->setFocus(Qt::OtherFocusReason);

        // Unfocused looks first, then one round of Tab from the last control back to it.
        std::map<int, QImage> unfocused;
        for (int id : kReadingOrder) {
            QWidget* other = f->control(id == kIdAdd ? kIdOptions : kIdAdd);
            other->setFocus(Qt::OtherFocusReason);
            unfocused[id] = look(f->control(id));
        }
        f->control(kIdAbout)->setFocus(Qt::OtherFocusReason);
        std::map<int, QImage> keyboard;
        for (int id : kReadingOrder) {
            pressTab();
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused);
            QCOMPARE(focused->objectName(), objectNameOf(id));
            keyboard[id] = look(focused);
            QVERIFY2(keyboard[id] != unfocused[id], qPrintable(focused->objectName()));
            if (auto* button = qobject_cast<ImageButton*>(focused))
                QVERIFY(button->showsFocusRing());
            else
                QVERIFY(listRingShown(f->dialog.mixList()));
        }
        pressTab(true);
        QCOMPARE(QApplication::focusWidget(), f->control(kIdHomepage));
        pressTab();
        pressTab();
        QCOMPARE(QApplication::focusWidget(), f->control(kIdAdd));

        // Focus given by the mouse keeps each button's own look; the list keeps its usual look
        // of a focused view, without the ring.
        for (int id : kReadingOrder) {
            f->control(id == kIdAdd ? kIdOptions : kIdAdd)->setFocus(Qt::OtherFocusReason);
            f->control(id)->setFocus(Qt::MouseFocusReason);
            QVERIFY(f->control(id)->hasFocus());
            if (id == kIdMixList) {
                QVERIFY(!listRingShown(f->dialog.mixList()));
                QVERIFY(look(f->control(id)) != keyboard[id]);
            } else {
                QVERIFY2(look(f->control(id)) == unfocused[id], qPrintable(objectNameOf(id)));
            }
        }
    }

    void aMousePressHidesTheRingAndAKeyShowsIt()
    {
        auto f = showWindow();
        QVERIFY(f);
        f->control(kIdDeleteSelected)->setFocus(Qt::OtherFocusReason);
        const QImage unfocusedAll = look(f->button(kIdDeleteAll));

        pressTab();  // to "Delete all"
        ImageButton* deleteAll = f->button(kIdDeleteAll);
        QVERIFY(deleteAll->showsFocusRing());
        // Pressed and let go outside: no click, but the mouse is in use now.
        QTest::mousePress(deleteAll, Qt::LeftButton);
        QTest::mouseRelease(deleteAll, Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(f->rows(), 2);
        QVERIFY(deleteAll->hasFocus());
        QVERIFY(!deleteAll->showsFocusRing());
        QCOMPARE(look(deleteAll), unfocusedAll);

        // A key on the focused button brings the ring back.
        QTest::keyClick(deleteAll, Qt::Key_Shift);
        QVERIFY(deleteAll->showsFocusRing());

        // The list: framed after Tab, plain after a click into it.
        pressTab(true);
        pressTab(true);
        MixListView& list = f->dialog.mixList();
        QCOMPARE(QApplication::focusWidget(), &list);
        QVERIFY(listRingShown(list));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(5, list.viewport()->height() - 5));
        QVERIFY(list.hasFocus());
        QVERIFY(!listRingShown(list));
    }

    void spaceEnterAndTheMnemonicPressButtons()
    {
        auto f = showWindow();
        QVERIFY(f);
        f->control(kIdMixList)->setFocus(Qt::OtherFocusReason);
        f->dialog.mixList().clearSelection();
        pressTab();
        ImageButton* deleteSelected = f->button(kIdDeleteSelected);
        QCOMPARE(QApplication::focusWidget(), deleteSelected);
        // Without a selection the command answers with its message: one per press.
        QTest::keyClick(deleteSelected, Qt::Key_Space);
        QTest::keyClick(deleteSelected, Qt::Key_Return);
        QTest::keyClick(deleteSelected, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(f->desktop.texts(), QStringList(3, QStringLiteral("Please select an audio item!")));
        QCOMPARE(f->rows(), 2);

        // Alt+H: the Help button's mnemonic moves the focus there, ring and all, and presses it.
        QTest::keyClick(&f->dialog, Qt::Key_H, Qt::AltModifier);
        // Help opens the manual, or says where it looked when the test's build has none beside it.
        QTRY_COMPARE(f->desktop.openedDocuments.size() + f->desktop.messages.size(), size_t{4});
        QCOMPARE(QApplication::focusWidget(), f->control(kIdHelp));
        QVERIFY(f->button(kIdHelp)->showsFocusRing());
    }

    void screenReadersHearNamesAndDescriptions()
    {
        auto f = scratch_.makeWindow();
        for (const Names& expected : kButtonNames) {
            QAccessibleInterface* button = QAccessible::queryAccessibleInterface(f->button(expected.id));
            QVERIFY(button);
            QCOMPARE(button->role(), QAccessible::Button);
            QCOMPARE(button->text(QAccessible::Name), QString::fromUtf8(expected.name));
            QCOMPARE(button->text(QAccessible::Description), QString::fromUtf8(expected.description));
        }
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f->control(kIdMixList));
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::Table);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Mix list"));
        QVERIFY(list->text(QAccessible::Description).contains(QStringLiteral("file name")));
    }
};

QTEST_MAIN(KeyboardAccessTest)
#include "KeyboardAccessTest.moc"
