// The credit lines: fixed lines framed as " -->", blanks, a text and " !!!".
// Each is written unchanged wherever it recurs: at sign-on and sign-off, in
// the closing block of the census grid listing, and by the credits option.
#pragma once

#include <string_view>

namespace census {

inline constexpr std::string_view kSignOnCredit1 =
    " -->              census: population figures of the states of Nigeria !!!\n";
inline constexpr std::string_view kSignOnCredit2 =
    " --> Enter the total, male, female and youth population of each state, then list them again  "
    "!!!\n";
inline constexpr std::string_view kSignOnCredit3 =
    " -->              Figures are kept in plain text files in the working directory !!!\n";
inline constexpr std::string_view kSignOnCredit4 =
    " --> Enter a number to go on (-1 quits), then an option code from 1 to 10 !!!\n";
inline constexpr std::string_view kSignOffCredit1 =
    " -->                           census: state population records !!!\n";
inline constexpr std::string_view kSignOffCredit2 =
    " -->                           Saved figures stay in their files for the next run !!!\n";

// Only in the closing block of the census grid listing.
inline constexpr std::string_view kGridCredit =
    " -->             Census grid of the sixteen states of the first list !!!   <--> one row for "
    "each line of cens-stat.dat !!!\n";

}  // namespace census
