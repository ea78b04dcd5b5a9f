.pragma library

// Helpers shared by the views that need no object of their own.

function clamp(value, low, high) {
    return Math.max(low, Math.min(high, value))
}
