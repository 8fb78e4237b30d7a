#pragma once

class QString;

namespace velmora::updater {

// The update framework's standard version order. A version splits into runs of
// digits, runs of other characters and single separators (".", punctuation,
// white space); numbers compare by value, text literally, separators equal one
// another. The leading run of numbers and periods is padded so that 1.0
// equals 1.0.0. Where one version runs out, the other is newer if it goes on
// with a number or separator (1.0.1 > 1.0) and older if it goes on with text
// (1.0 > 1.0b1).
// Returns a negative number, zero or a positive number as a is older than,
// equal to or newer than b.
int compareVersions(const QString& a, const QString& b);

} // namespace velmora::updater
