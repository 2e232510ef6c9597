#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace links {

// The item of the web a URL found on a page points to, as a path below the web with "/" between names
// ("." for the web itself). The page is given the same way. Query and fragment are dropped and each
// name is percent-decoded; ".." never climbs above the web, as a browser never climbs above a site's
// root. None for a URL that leaves the web or names nothing in it: a scheme (http:, mailto:,
// javascript:, ...), a host ("//..."), only a fragment or a query, or an empty URL. baseHref: the
// page's <base href>, itself resolved against the page; one that names another site leaves every
// relative URL unresolved.
std::optional<std::string> resolve(std::string_view page, std::string_view url,
                                   std::optional<std::string_view> baseHref = std::nullopt);

// "%20" and the like replaced by their bytes; a "%" not followed by two hex digits stays as it is.
std::string percentDecode(std::string_view text);

} // namespace links
