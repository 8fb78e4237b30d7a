#include "check_message_compare.h"

#include "p4v_submit_client/check_message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

// Global operator new that fails on the n-th allocation once armed, so each
// decoder can be made to meet an allocation failure at every point in turn.
namespace {

enum class Fault { None, BadAlloc, NonStandard };

thread_local long allocations_left = -1; // -1: disarmed
thread_local Fault fault_kind = Fault::None;

struct NonStandardFault {};

void* allocate(std::size_t size)
{
    if (allocations_left == 0) {
        allocations_left = -1;
        if (fault_kind == Fault::NonStandard)
            throw NonStandardFault{};
        throw std::bad_alloc();
    }
    if (allocations_left > 0)
        --allocations_left;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}

void* operator new[](std::size_t size)
{
    return allocate(size);
}

// The remaining forms are replaced too, so that every allocation and release
// goes through the same malloc and free; they inject no failures.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc(size ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc(size ? size : 1);
}

void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

using namespace velmora;

const QByteArray kFrame = R"({"IdentificationStr":"CheckResultInfo","RetCode":1,"Message":"m","Cr":{"Passed":true,
    "ErrorGroups":[{"CheckerTitle":"A","Errs":[{"AssetPath":"//a","Message":"x"},{"AssetPath":"//b","Message":"y"}]},
    {"CheckerTitle":"B","Errs":[7]}]}})";

// Runs `decode` with the n-th allocation failing, for n = 0, 1, ... until a run
// meets no failure. Each run must either give the full value or throw exactly
// the decoder's own failure text; nothing partial, nothing else.
template <typename T, typename Decode>
void sweepAllocationFailures(Decode decode, const T& expected, const std::string& failure_text)
{
    int failures = 0;
    for (long n = 0;; ++n) {
        fault_kind = Fault::BadAlloc;
        allocations_left = n;
        try {
            const T value = decode();
            const bool fault_fired = allocations_left == -1;
            allocations_left = -1;
            EXPECT_EQ(value, expected) << "failing allocation " << n;
            if (!fault_fired)
                break;
        } catch (const std::runtime_error& error) {
            allocations_left = -1;
            ++failures;
            EXPECT_EQ(std::string(error.what()), failure_text) << "failing allocation " << n;
        }
    }
    EXPECT_GT(failures, 0) << "no allocation failure reached the decoder";
}

TEST(DecoderAllocationFailure, CheckMessageReportsOnlyItsOwnText)
{
    const CheckMessage expected = CheckMessage::Deserialize(kFrame);
    ASSERT_TRUE(expected.Cr.Passed);
    sweepAllocationFailures([] { return CheckMessage::Deserialize(kFrame); }, expected,
                            "[Deserialize]To CheckMessage Fail.");
}

TEST(DecoderAllocationFailure, EachNestedDecoderReportsItsOwnText)
{
    const QByteArray result_json = R"({"Passed":false,"ErrorGroups":[{"CheckerTitle":"A","Errs":[{"Message":"x"}]}]})";
    sweepAllocationFailures([&] { return CheckResult::Deserialize(result_json); },
                            CheckResult::Deserialize(result_json), "[Deserialize]To CheckResult Fail.");
    const QByteArray group_json = R"({"CheckerTitle":"A","Errs":[{"AssetPath":"p","Message":"x"},null]})";
    sweepAllocationFailures([&] { return CheckerGroup::Deserialize(group_json); },
                            CheckerGroup::Deserialize(group_json), "[Deserialize]To CheckerGroup Fail.");
    const QByteArray item_json = R"({"AssetPath":"p","Message":"x"})";
    sweepAllocationFailures([&] { return CheckerItem::Deserialize(item_json); },
                            CheckerItem::Deserialize(item_json), "[Deserialize]To CheckerItem Fail.");
}

TEST(DecoderAllocationFailure, NonStandardExceptionsPassThroughUnchanged)
{
    fault_kind = Fault::NonStandard;
    allocations_left = 0;
    EXPECT_THROW(CheckMessage::Deserialize(kFrame), NonStandardFault);
    allocations_left = -1;
    fault_kind = Fault::None;
}

} // namespace
