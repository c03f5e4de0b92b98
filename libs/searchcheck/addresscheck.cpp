#include "searchcheck/addresscheck.h"

#include <algorithm>

namespace tessel {
namespace {

AddressCheck::Fault partFault(const std::string& text)
{
    if (text.empty())
        return AddressCheck::EmptyPart;
    if (text.find_first_not_of("0123456789") != std::string::npos)
        return AddressCheck::NotANumber;
    // "0001" is one too many digits for the terminals; "1234" is too large.
    const std::size_t firstDigit = std::min(text.find_first_not_of('0'), text.size());
    const std::string significant = text.substr(firstDigit);
    if (significant.size() > 3 || (significant.size() == 3 && significant > "255"))
        return AddressCheck::TooLarge;
    if (text.size() > 3)
        return AddressCheck::TooManyDigits;
    return AddressCheck::Valid;
}

} // namespace

AddressCheck checkAddress(const std::string& text)
{
    // Blanks around an address record's address are dropped, as around a
    // bare one.
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    const std::string address = first == std::string::npos
                                    ? std::string()
                                    : text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    AddressCheck check;
    if (address.empty()) {
        check.fault = AddressCheck::NoAddress;
        return check;
    }
    check.parts = static_cast<std::size_t>(std::count(address.begin(), address.end(), '.')) + 1;
    if (check.parts != 4) {
        check.fault = AddressCheck::PartCount;
        return check;
    }
    std::size_t from = 0;
    for (std::size_t part = 1; part <= 4; ++part) {
        const std::size_t dot = std::min(address.find('.', from), address.size());
        std::string text = address.substr(from, dot - from);
        const AddressCheck::Fault fault = partFault(text);
        if (fault != AddressCheck::Valid) {
            check.fault = fault;
            check.part = part;
            check.partText = std::move(text);
            return check;
        }
        from = dot + 1;
    }
    return check;
}

} // namespace tessel
