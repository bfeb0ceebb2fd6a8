#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQuickItem;

// Where the keyboard focus lands when a screen appears: on its first control in Tab order, not on
// the screen's container, where a keyboard or screen reader user would find nothing. The kit's
// presenters (Presentation, NavigationStack) call it once their screen is in place:
//     onOpened: FocusLanding.enter(loader.item, openedByKeyboard)
class FocusLanding : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit FocusLanding(QObject *parent = nullptr) : QObject(parent) {}

    // Gives the focus to the first enabled, visible control inside `container` while the focus is
    // on the container itself, on what holds it or nowhere; focus anywhere else (a control the
    // screen chose, a menu opened meanwhile) stays. `keyboard`: the screen was opened from the
    // keyboard, so the focus shows. Returns whether a control inside holds the focus.
    Q_INVOKABLE static bool enter(QQuickItem *container, bool keyboard);
    // Gives the focus to the first enabled, visible control inside `container`, wherever the focus
    // is now. Returns whether a control inside holds the focus.
    Q_INVOKABLE static bool moveInto(QQuickItem *container, bool keyboard);
    // Whether `item` can be seen: in the window, and not clipped away by what holds it (a list's
    // rows scrolled out of its view).
    Q_INVOKABLE static bool isInView(QQuickItem *item);
    // Whether the keyboard focus of `item`'s window lies inside `item` (or nothing holds it).
    Q_INVOKABLE static bool focusWithin(QQuickItem *item);
    // Whether the item holding the focus of `item`'s window got it from the keyboard.
    Q_INVOKABLE static bool keyboardFocused(QQuickItem *item);
    // The item holding the focus of `item`'s window, null when none does.
    Q_INVOKABLE static QQuickItem *focusedItem(QQuickItem *item);
    // For a control (or a list) away for a while, whose page keeps its place: the focus goes to
    // the title of the page holding `item`, a stand-in, until the control comes back for it.
    // False when no page holds it.
    Q_INVOKABLE static bool standInFor(QQuickItem *item, bool keyboard);
    // Whether the focus of `item`'s window still rests on a stand-in, so a control coming back
    // (or one that claims the focus, a retry) may take it; and whether the keyboard had it.
    Q_INVOKABLE static bool onStandIn(QQuickItem *item);
    Q_INVOKABLE static bool standInByKeyboard(QQuickItem *item);
    // Where the focus goes once a popup has closed, unless a control was given it meanwhile: back
    // to `opener`, the control the popup was opened from, while it can take the focus; else to
    // the first control in view of what the popup covered (the item it was declared in).
    // `restored` is where the focus fell as the popup closed (Qt hands it to whatever last had it
    // under the popup, maybe long ago and scrolled away): it counts as no one's choice. `keyboard`
    // as for enter(). Returns whether a control holds the focus.
    Q_INVOKABLE static bool returnTo(QQuickItem *opener, QObject *popup, bool keyboard, QQuickItem *restored = nullptr);
    // Where the focus goes once a menu has closed (see MenuReturn): back to `opener` while it can
    // take the focus, showing when `keyboard`; a sheet or dialog a choice opened keeps it, and an
    // opener gone with the choice (its row deleted) leaves it to the window's FocusKeeper.
    // `menu` is the popup's own item. Returns whether the opener holds the focus.
    Q_INVOKABLE static bool returnFromMenu(QQuickItem *opener, QQuickItem *menu, bool keyboard);
};
