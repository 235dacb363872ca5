#include "Bridge/AppleScriptLibrary.hpp"

namespace velvix {
namespace {

// Safari's scripting dictionary has no private-browsing flag, but the Accessibility title of a
// private window carries a suffix its script name lacks. The caller therefore hands over the
// Accessibility titles of all windows, front to back, in axWindowTitles, and scopeprivate pairs
// them with the windows to learn which are private. Inside a tell block of Safari the word tab
// names Safari's tab class, so the tab character is taken before such blocks.
const char* const kSafari = R"as(-- Tab handlers for Safari, and the entry of the in-process script host.

property axWindowTitles : {}
property privateWindowIDs : {}
property wantPrivate : false

on sametext(a, b)
    considering case
        return (a as text) is (b as text)
    end considering
end sametext

-- 0: the title is not this window's; 1: a normal window's title; 2: a private window's title.
on pairing(theTitle, theName)
    if my sametext(theTitle, theName) then return 1
    if theName is "" then return 0
    considering case
        repeat with theSeparator in {", ", " — ", " – ", " - "}
            if theTitle starts with (theName & (contents of theSeparator)) then return 2
        end repeat
    end considering
    return 0
end pairing

on scopeprivate(privateOnly)
    set wantPrivate to privateOnly
    set privateWindowIDs to {}
    set titleCount to count of axWindowTitles
    if titleCount is 0 then return
    set taken to {}
    repeat titleCount times
        set end of taken to false
    end repeat
    tell application "Safari"
        repeat with w in windows
            try
                set theName to (name of w) as text
                set theID to id of w
                repeat with i from 1 to titleCount
                    if not (item i of taken) then
                        set verdict to my pairing(item i of my axWindowTitles, theName)
                        if verdict is not 0 then
                            set item i of taken to true
                            if verdict is 2 then set end of my privateWindowIDs to theID
                            exit repeat
                        end if
                    end if
                end repeat
            end try
        end repeat
    end tell
end scopeprivate

on windowallowed(theID)
    return ((my privateWindowIDs) contains {theID}) is (my wantPrivate)
end windowallowed

on urltext(t)
    tell application "Safari"
        try
            set u to URL of t
            if u is missing value then return ""
            return u as text
        end try
    end tell
    return ""
end urltext

on nametext(t)
    tell application "Safari"
        try
            set n to name of t
            if n is missing value then return ""
            return n as text
        end try
    end tell
    return ""
end nametext

on tabmatches(t, theMode, theValue)
    if theMode is "title" then return my sametext(my nametext(t), theValue)
    set u to my urltext(t)
    if theMode is "blank" then return (u is "" or u is "favorites://")
    return my sametext(u, theValue)
end tabmatches

on seedtabs()
    scopeprivate(false)
    set out to {}
    tell application "Safari"
        repeat with w in windows
            try
                set theID to id of w
                if my windowallowed(theID) then
                    set t to current tab of w
                    set theIndex to "0"
                    try
                        set theIndex to (index of t) as text
                    end try
                    set end of out to {my urltext(t), my nametext(t), theID as text, theIndex}
                end if
            end try
        end repeat
    end tell
    return out
end seedtabs

on fronttabs()
    scopeprivate(false)
    set sep to tab
    set rows to {}
    tell application "Safari"
        repeat with w in windows
            try
                if my windowallowed(id of w) then
                    set t to current tab of w
                    set theRow to (my urltext(t)) & sep & (my nametext(t)) & sep & ((index of t) as text)
                    set end of rows to theRow & sep & ((count of tabs of w) as text)
                end if
            end try
        end repeat
    end tell
    set AppleScript's text item delimiters to linefeed
    return rows as text
end fronttabs

on currenttab()
    scopeprivate(false)
    tell application "Safari"
        with timeout of 2 seconds
            if (count of windows) is 0 then return {}
            set w to window 1
            set theID to id of w
            if not (my windowallowed(theID)) then return {}
            set t to current tab of w
            set theIndex to "0"
            try
                set theIndex to (index of t) as text
            end try
            return {my urltext(t), my nametext(t), theID as text, theIndex}
        end timeout
    end tell
end currenttab

on livetabs()
    set out to {}
    tell application "Safari"
        repeat with w in windows
            try
                repeat with t in tabs of w
                    try
                        set end of out to my urltext(contents of t)
                    end try
                end repeat
            end try
        end repeat
    end tell
    return out
end livetabs

on windownames()
    set out to {}
    tell application "Safari"
        with timeout of 2 seconds
            repeat with w in windows
                try
                    set end of out to (name of w) as text
                end try
            end repeat
        end timeout
    end tell
    return out
end windownames

-- Makes tab number ti of window number wi current and brings its window forward.
on bringforward(wi, ti)
    tell application "Safari"
        set w to window wi
        set current tab of w to tab ti of w
        try
            set miniaturized of w to false
        end try
        set index of w to 1
    end tell
end bringforward

on tryexact(theIndex, theURL)
    set wasCurrent to false
    tell application "Safari"
        set windowCount to count of windows
        repeat with wi from 1 to windowCount
            try
                set w to window wi
                if my windowallowed(id of w) then
                    if (count of tabs of w) >= theIndex then
                        if my sametext(my urltext(tab theIndex of w), theURL) then
                            if wi is 1 and (index of current tab of w) is theIndex then
                                set wasCurrent to true
                            else
                                my bringforward(wi, theIndex)
                                return 1
                            end if
                        end if
                    end if
                end if
            end try
        end repeat
    end tell
    if wasCurrent then return 2
    return 0
end tryexact

on trypass(theMode, theValue)
    set wasCurrent to false
    tell application "Safari"
        set windowCount to count of windows
        repeat with wi from 1 to windowCount
            try
                set w to window wi
                if my windowallowed(id of w) then
                    set currentIndex to 0
                    try
                        set currentIndex to index of current tab of w
                    end try
                    set tabCount to count of tabs of w
                    repeat with ti from 1 to tabCount
                        try
                            if my tabmatches(tab ti of w, theMode, theValue) then
                                if wi is 1 and ti is currentIndex then
                                    set wasCurrent to true
                                else
                                    my bringforward(wi, ti)
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
    scopeprivate(privateOnly)
    set theIndex to 0
    try
        set theIndex to theIndexText as integer
    end try
    if theURL is not "" and theIndex > 0 then
        if tryexact(theIndex, theURL) > 0 then return true
    end if
    if theURL is not "" then
        if trypass("url", theURL) > 0 then return true
    else
        if trypass("blank", "") > 0 then return true
    end if
    return trypass("title", theTitle) > 0
end resolvetab

-- Without an address, the tab at the position must be a blank one.
on closeexact(theIndex, theURL)
    set theMode to "url"
    if theURL is "" then set theMode to "blank"
    tell application "Safari"
        repeat with w in windows
            try
                if my windowallowed(id of w) then
                    if (count of tabs of w) >= theIndex then
                        if my tabmatches(tab theIndex of w, theMode, theURL) then
                            close tab theIndex of w
                            return true
                        end if
                    end if
                end if
            end try
        end repeat
    end tell
    return false
end closeexact

on closepass(theMode, theValue)
    tell application "Safari"
        repeat with w in windows
            try
                if my windowallowed(id of w) then
                    repeat with t in tabs of w
                        try
                            if my tabmatches(contents of t, theMode, theValue) then
                                close (contents of t)
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

on closetab(theIndexText, theURL, theTitle, privateOnly)
    scopeprivate(privateOnly)
    set theIndex to 0
    try
        set theIndex to theIndexText as integer
    end try
    -- A known position is where the tab was last seen: when it holds another page now, the tab
    -- has moved or gone, and another tab with the same address is one the user kept.
    if theIndex > 0 then return closeexact(theIndex, theURL)
    if theURL is not "" then
        if closepass("url", theURL) then return true
    else
        if closepass("blank", "") then return true
    end if
    return closepass("title", theTitle)
end closetab

-- The entry of the in-process host: a compiled script keeps its properties between calls, so
-- the titles are set on every call.
on hostresolve(theTitles, theHandler, theIndexText, theURL, theTitle, privateOnly)
    set axWindowTitles to theTitles
    with timeout of 4 seconds
        if theHandler is "closetab" then
            set theResult to closetab(theIndexText, theURL, theTitle, privateOnly)
        else
            set theResult to resolvetab(theIndexText, theURL, theTitle, privateOnly)
        end if
    end timeout
    return theResult as text
end hostresolve
)as";

}  // namespace

const std::string& AppleScriptLibrary::safari() {
  static const std::string text = kSafari;
  return text;
}

}  // namespace velvix
