#include "Bridge/AppleScriptLibrary.hpp"

namespace velvix {
namespace {

// Every window and tab access is wrapped in its own try, so one unreadable window or tab is
// skipped and the rest still counts. Text comparisons consider case: two addresses that differ
// only in case are different pages.
const char* const kChromium =
    R"as(-- Tab handlers for a Chromium-family browser; private windows have the mode "incognito".

on sametext(a, b)
    considering case
        return (a as text) is (b as text)
    end considering
end sametext

on isincognito(w)
    tell application "Google Chrome"
        try
            return (mode of w) is "incognito"
        end try
    end tell
    return false
end isincognito

on seedtabs()
    set out to {}
    tell application "Google Chrome"
        repeat with w in windows
            try
                if not (my isincognito(w)) then
                    set t to active tab of w
                    set theIndex to "0"
                    try
                        set theIndex to (active tab index of w) as text
                    end try
                    set end of out to {(URL of t) as text, (title of t) as text, (id of w) as text, theIndex}
                end if
            end try
        end repeat
    end tell
    return out
end seedtabs

on currenttab()
    tell application "Google Chrome"
        with timeout of 2 seconds
            if (count of windows) is 0 then return {}
            set w to window 1
            if my isincognito(w) then return {}
            set t to active tab of w
            set theIndex to "0"
            try
                set theIndex to (active tab index of w) as text
            end try
            return {(URL of t) as text, (title of t) as text, (id of w) as text, theIndex}
        end timeout
    end tell
end currenttab

on livetabs()
    set out to {}
    tell application "Google Chrome"
        repeat with w in windows
            try
                repeat with t in tabs of w
                    try
                        set end of out to (URL of t as text)
                    end try
                end repeat
            end try
        end repeat
    end tell
    return out
end livetabs

on trypass(matchKind, theValue, privateOnly)
    set wasCurrent to false
    tell application "Google Chrome"
        set windowCount to count of windows
        repeat with wi from 1 to windowCount
            try
                set w to window wi
                if (my isincognito(w)) is privateOnly then
                    set activeIndex to 0
                    try
                        set activeIndex to active tab index of w
                    end try
                    set tabCount to count of tabs of w
                    repeat with ti from 1 to tabCount
                        try
                            set t to tab ti of w
                            if matchKind is "url" then
                                set candidate to (URL of t) as text
                            else
                                set candidate to (title of t) as text
                            end if
                            if my sametext(candidate, theValue) then
                                if wi is 1 and ti is activeIndex then
                                    set wasCurrent to true
                                else
                                    set active tab index of w to ti
                                    try
                                        set minimized of w to false
                                    end try
                                    set index of w to 1
                                    return 1
                                end if
                            end if
                        end try
                    end repeat
                end if
            end try
        end repeat
    end tell
    if wasCurrent then return 2
    return 0
end trypass

on resolvetab(theIndexText, theURL, theTitle, privateOnly)
    if theURL is not "" then
        if trypass("url", theURL, privateOnly) > 0 then return true
    end if
    return trypass("title", theTitle, privateOnly) > 0
end resolvetab

on closepass(matchKind, theValue, privateOnly)
    tell application "Google Chrome"
        repeat with w in windows
            try
                if (my isincognito(w)) is privateOnly then
                    repeat with t in tabs of w
                        try
                            if matchKind is "url" then
                                set candidate to (URL of t) as text
                            else
                                set candidate to (title of t) as text
                            end if
                            if my sametext(candidate, theValue) then
                                close t
                                return true
                            end if
                        end try
                    end repeat
                end if
            end try
        end repeat
    end tell
    return false
end closepass

on closeexact(theIndex, theURL, privateOnly)
    tell application "Google Chrome"
        repeat with w in windows
            try
                if (my isincognito(w)) is privateOnly then
                    if (count of tabs of w) >= theIndex then
                        set t to tab theIndex of w
                        if my sametext((URL of t) as text, theURL) then
                            close t
                            return true
                        end if
                    end if
                end if
            end try
        end repeat
    end tell
    return false
end closeexact

-- The tab the browser's extension knows by its window's and its own id, which the browser's
-- script ids are. Nothing else is closed: once that tab is gone, a tab that took its place or
-- shows the same page elsewhere is one the user kept.
on closeidentified(theWindowID, theTabID)
    tell application "Google Chrome"
        repeat with w in windows
            try
                if (id of w) = theWindowID then
                    repeat with t in tabs of w
                        try
                            if (id of t) = theTabID then
                                close t
                                return true
                            end if
                        end try
                    end repeat
                    return false
                end if
            end try
        end repeat
    end tell
    return false
end closeidentified

-- A known position is where the tab was last seen: when it holds another page now, the tab has
-- moved or gone, and another tab with the same address is one the user kept.
on closetab(theIndexText, theURL, theTitle, privateOnly)
    set theIndex to 0
    try
        set theIndex to theIndexText as integer
    end try
    if theURL is not "" and theIndex > 0 then
        return closeexact(theIndex, theURL, privateOnly)
    end if
    if theURL is not "" then
        if closepass("url", theURL, privateOnly) then return true
    end if
    return closepass("title", theTitle, privateOnly)
end closetab
)as";

// Terminal's tabs are told apart by the device path of their terminal (tty).
const char* const kTerminal = R"as(-- Tab handlers for Terminal; a tab is identified by its tty.

on seedtabs()
    set out to {}
    tell application "Terminal"
        repeat with w in windows
            try
                set end of out to {(tty of selected tab of w) as text, (name of w) as text, (id of w) as text}
            end try
        end repeat
    end tell
    return out
end seedtabs

on currenttab()
    tell application "Terminal"
        with timeout of 2 seconds
            if (count of windows) is 0 then return {}
            set w to window 1
            return {(tty of selected tab of w) as text, (name of w) as text, (id of w) as text}
        end timeout
    end tell
end currenttab

on livetabs()
    set out to {}
    tell application "Terminal"
        repeat with w in windows
            try
                repeat with t in tabs of w
                    try
                        set end of out to (tty of t as text)
                    end try
                end repeat
            end try
        end repeat
    end tell
    return out
end livetabs

on resolvetab(theIndexText, theTTY, theTitle, privateOnly)
    tell application "Terminal"
        repeat with w in windows
            try
                repeat with t in tabs of w
                    try
                        if ((tty of t) as text) is theTTY then
                            set selected tab of w to (contents of t)
                            try
                                set miniaturized of w to false
                            end try
                            set index of w to 1
                            return true
                        end if
                    end try
                end repeat
            end try
        end repeat
    end tell
    return false
end resolvetab

on closetab(theIndexText, theTTY, theTitle, privateOnly)
    tell application "Terminal"
        repeat with w in windows
            try
                repeat with t in tabs of w
                    try
                        if ((tty of t) as text) is theTTY then
                            if (count of tabs of w) is 1 then
                                close w
                                return true
                            end if
                            if busy of t then return false
                            do script "exit" in (contents of t)
                            return true
                        end if
                    end try
                end repeat
            end try
        end repeat
    end tell
    return false
end closetab
)as";

}  // namespace

const std::string& AppleScriptLibrary::chromiumSourceTemplate() {
  static const std::string text = kChromium;
  return text;
}

const std::string& AppleScriptLibrary::terminal() {
  static const std::string text = kTerminal;
  return text;
}

std::string AppleScriptLibrary::chromiumFor(std::string_view applicationName) {
  const std::string& source = chromiumSourceTemplate();
  std::string result;
  result.reserve(source.size());
  std::size_t start = 0;
  for (auto at = source.find(kTemplateApplication); at != std::string::npos;
       at = source.find(kTemplateApplication, start)) {
    result.append(source, start, at - start);
    result += applicationName;
    start = at + kTemplateApplication.size();
  }
  result.append(source, start);
  return result;
}

std::string AppleScriptLibrary::forBrowser(Browser browser) {
  if (browser == Browser::safari) return safari();
  if (browser == Browser::terminal) return terminal();
  return chromiumFor(browsers::appleScriptName(browser));
}

}  // namespace velvix
