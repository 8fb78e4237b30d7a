#pragma once

#include "p4v_submit_client/check_message.h"

#include <ostream>

// Field-wise equality and printing, so expectations can compare whole values.
namespace velmora {

bool operator==(const CheckerItem& a, const CheckerItem& b);
bool operator==(const CheckerGroup& a, const CheckerGroup& b);
bool operator==(const CheckResult& a, const CheckResult& b);
bool operator==(const CheckMessage& a, const CheckMessage& b);

void PrintTo(const CheckerItem& item, std::ostream* out);
void PrintTo(const CheckerGroup& group, std::ostream* out);
void PrintTo(const CheckResult& result, std::ostream* out);
void PrintTo(const CheckMessage& message, std::ostream* out);

} // namespace velmora

namespace check_test {

velmora::CheckerItem item(const QString& asset_path, const QString& message);
velmora::CheckerGroup group(const QString& title, const QList<velmora::CheckerItem>& errs);
velmora::CheckResult result(bool passed, const QList<velmora::CheckerGroup>& groups);
velmora::CheckMessage message(const QString& kind, int ret_code, const QString& text,
                              const velmora::CheckResult& cr = {});

} // namespace check_test
