// The web addresses the reader opens and what it says when one cannot be opened. Plain
// C++: the About box, the help menu and the context menu call these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnelo {

// The search engine's query for a selection: percent-encoded UTF-8 in the query of a fixed
// https address, so no character of the selection can end the address or add to it. Lone
// surrogates (the pane's stand-ins for bytes a book could not decode) become U+FFFD. Only
// the first kMaxSearchCharacters characters are searched (a pair of surrogates is one):
// a whole page selected would make an address no browser's command line takes.
inline constexpr std::size_t kMaxSearchCharacters = 256;
std::string WebSearchAddress(std::u16string_view selection);

// A help-menu link: the message shown first, and the address opened on OK.
struct WebLink {
  int id;
  std::string_view message;
  std::string_view address;
};
const WebLink* WebLinkOf(int commandId);  // nullptr for any other command

// The navigation site the help menu recommends.
inline constexpr std::string_view kNavigationSiteName = "Curlie 网站导航";
inline constexpr std::string_view kNavigationSiteAddress = "https://curlie.org/";

// Results of opening a link, in the shell's numbering: above 32 is success, 31 means no
// program takes the address.
inline constexpr int kLinkOpened = 33;
inline constexpr int kLinkNoAssociation = 31;

// What the reader says when the program that takes an address could not be started.
inline constexpr std::string_view kLaunchFailedText = "打开网页失败！浏览器未能启动，请稍后再试！";

// "Unable to open hyperlink:" and the failure table's text for the code.
std::string LinkFailureText(int code);

}  // namespace varnelo
