#pragma once

#include "p4v_submit_client/check_message.h"

#include <QByteArray>

// The straightforward decoder that writes every nested object back to indented
// text and parses it again at the level below. Slow, but obviously faithful to
// the wire rules: the product decoder must give the same value for any input.
namespace check_test {

velmora::CheckMessage literalDecodeMessage(const QByteArray& json);
velmora::CheckResult literalDecodeResult(const QByteArray& json);
velmora::CheckerGroup literalDecodeGroup(const QByteArray& json);
velmora::CheckerItem literalDecodeItem(const QByteArray& json);

} // namespace check_test
