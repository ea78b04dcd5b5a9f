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
