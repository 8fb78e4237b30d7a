#include "standin_output.h"

#include <iostream>

namespace velmora {

namespace {

    void writeLine(std::ostream& stream, const Json& value)
    {
        // p4 replaces invalid UTF-8 by U+FFFD under -Mj.
        stream << value.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
    }

} // namespace

StandInOutput::StandInOutput(bool tagged)
    : tagged_(tagged)
{
}

void StandInOutput::record(const Json& fields) { writeLine(std::cout, fields); }

void StandInOutput::info(const std::string& text)
{
    if (tagged_)
        writeLine(std::cout, Json { { "data", text + "\n" }, { "level", 0 } });
    else
        std::cout << text << "\n";
}

void StandInOutput::warning(const std::string& text, int generic) { message(text, 2, generic); }

void StandInOutput::error(const std::string& text, int generic)
{
    message(text, 3, generic);
    exit_code_ = 1;
}

void StandInOutput::message(const std::string& text, int severity, int generic)
{
    if (tagged_)
        writeLine(
            std::cout, Json { { "data", text + "\n" }, { "generic", generic }, { "severity", severity } });
    else
        std::cerr << text << "\n";
}

} // namespace velmora
