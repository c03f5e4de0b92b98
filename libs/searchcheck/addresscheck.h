#pragma once

// Whether an address typed into a search dialog is a dotted IPv4 address,
// and if not, what is wrong with it; checked before anything is cleared or
// sent.

#include <cstddef>
#include <string>

namespace tessel {

struct AddressCheck
{
    enum Fault
    {
        Valid,
        NoAddress,     // blank, or an address record without an address
        PartCount,     // not four parts separated by dots
        EmptyPart,     // two dots in a row, or a dot at either end
        NotANumber,    // a part holds something other than the digits 0-9
        TooManyDigits, // a part of more than three digits
        TooLarge       // a part greater than 255
    };

    Fault fault = Valid;
    std::size_t parts = 0; // how many dot-separated parts the address has
    std::size_t part = 0;  // the faulty part, counted from 1; 0 when none is
    std::string partText;  // that part as typed
};

// Four decimal numbers from 0 to 255 of one to three digits each, separated by
// dots, with nothing but blanks around them: the form the terminals read.
// `address` is what a dialog text stands for (dialogAddress).
AddressCheck checkAddress(const std::string& address);

} // namespace tessel
