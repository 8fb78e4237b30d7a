#pragma once

class QString;

namespace velmora::updater {

// The update framework's standard version order, which QVersionNumber does not
// follow. A version splits into runs of digits, runs of text and single
// separators (".", punctuation, white space); numbers compare by value, text
// literally, separators equal one another, and a number or separator beats
// text. The leading run of numbers and periods is padded, so 1.0 equals
// 1.0.0. Where one version runs out, the other is newer if it goes on with a
// number or separator (1.0.1 > 1.0) and older if it goes on with text
// (1.0 > 1.0b1).
// Negative, zero or positive as a is older than, equal to or newer than b.
int compareVersions(const QString& a, const QString& b);

} // namespace velmora::updater
