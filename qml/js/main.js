.pragma library

// Helpers shared by the views that need no object of their own.

function clamp(value, low, high) {
    return Math.max(low, Math.min(high, value))
}

// Only the presentation on screen holds delegates: a hidden one would rebuild its rows on every
// search and sort as well. The view's scroll position is kept in its keptContentY for its return.
function holdDelegates(view, shown, component) {
    if (shown === (view.delegate !== null))
        return
    if (!shown) {
        view.keptContentY = view.contentY - view.originY + view.topMargin
        // Without reuse the pool of spare delegates is emptied as well.
        view.reuseItems = false
        view.delegate = null
        return
    }
    view.reuseItems = true
    view.delegate = component
    view.contentY = view.originY - view.topMargin
            + clamp(view.keptContentY, 0, view.contentHeight + view.topMargin + view.bottomMargin - view.height)
}

// The keys of a library view: the arrows move the current product (the view's own navigation),
// Home, End and the page keys jump, Return opens it as a click would, Space selects it.
// `perPage` is how many products one screenful shows. Returns whether the key was taken.
function libraryViewKey(view, event, perPage) {
    if (view.count === 0)
        return false
    var last = view.count - 1
    var current = Math.max(0, view.currentIndex)
    switch (event.key) {
    case Qt.Key_Home:
        view.currentIndex = 0
        return true
    case Qt.Key_End:
        view.currentIndex = last
        return true
    case Qt.Key_PageUp:
        view.currentIndex = clamp(current - perPage, 0, last)
        return true
    case Qt.Key_PageDown:
        view.currentIndex = clamp(current + perPage, 0, last)
        return true
    case Qt.Key_Return:
    case Qt.Key_Enter:
        if (view.currentItem && event.modifiers === Qt.NoModifier)
            view.currentItem.keyOpen()
        return !!view.currentItem
    case Qt.Key_Space:
        if (view.currentItem)
            view.currentItem.selectionToggled(!view.currentItem.selectedForSync)
        return !!view.currentItem
    }
    return false
}

// A view keeps the focus of a button in its current product when the focus leaves; without
// this, the next Tab into the view would skip the view, and Shift+Tab from the button would
// land on the button again. Call from the button's Keys.onPressed and on its focus loss.
function leaveToView(button, view, event) {
    if (event === null) {
        button.focus = false
        return
    }
    if (event.key === Qt.Key_Backtab || (event.key === Qt.Key_Tab && (event.modifiers & Qt.ShiftModifier))) {
        event.accepted = true
        button.focus = false
        view.forceActiveFocus(Qt.BacktabFocusReason)
    }
}

// A re-sort or re-filter of the whole model rebuilds the view's rows and scrolls it to the top:
// the place is noted before and brought back after.
function notePlace(view) {
    view.placeBeforeLayout = view.contentY - view.originY
}

function returnToPlace(view) {
    if (view.placeBeforeLayout < 0)
        return
    var top = view.placeBeforeLayout
    view.placeBeforeLayout = -1
    view.contentY = view.originY + clamp(top, -view.topMargin,
                                         Math.max(-view.topMargin, view.contentHeight + view.bottomMargin - view.height))
}
