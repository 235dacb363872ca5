#include "Support/TerminalIntegrationScript.hpp"

namespace velvix {
namespace {

constexpr const char* kHead = R"zsh(# velvix.zsh: the terminal integration of Velvix.
# Managed by Velvix.app and overwritten whenever its Terminal settings change: edits are lost.
# Sourced from ~/.zshrc by the marked Velvix block; safe to source twice.
[[ -o interactive ]] || return 0

# --- selecting ---------------------------------------------------------------------------
# An explicit highlight: the default standout can be nearly invisible on translucent profiles.
typeset -ga zle_highlight
zle_highlight=(region:fg=white,bg=blue)

_velvix_select() {
  (( REGION_ACTIVE )) || zle set-mark-command
  zle "$1"
}
velvix-select-char-left()  { _velvix_select .backward-char }
velvix-select-char-right() { _velvix_select .forward-char }
velvix-select-word-left()  { _velvix_select .backward-word }
velvix-select-word-right() { _velvix_select .forward-word }
velvix-select-line-start() { _velvix_select .beginning-of-line }
velvix-select-line-end()   { _velvix_select .end-of-line }

# Binds <widget> to <impl>, keeping the widget it replaces as velvix-orig-<widget>. A widget that
# is already ours is not copied again (so sourcing twice is harmless), and a plug-in's widget is
# chained rather than replaced.
_velvix_takeover() {
  local widget=$1 impl=$2
  if [[ ${widgets[$widget]-} != user:velvix-* ]]; then
    zle -A "$widget" "velvix-orig-$widget"
  fi
  zle -N "$widget" "$impl"
}

# Typing or pasting over a selection replaces it; deleting deletes it.
velvix-self-insert() {
  (( REGION_ACTIVE )) && zle .kill-region
  zle velvix-orig-self-insert -- "$@"
}
velvix-bracketed-paste() {
  (( REGION_ACTIVE )) && zle .kill-region
  zle velvix-orig-bracketed-paste -- "$@"
}
velvix-backward-delete-char() {
  if (( REGION_ACTIVE )); then zle .kill-region; else zle velvix-orig-backward-delete-char -- "$@"; fi
}
velvix-delete-char() {
  if (( REGION_ACTIVE )); then zle .kill-region; else zle velvix-orig-delete-char -- "$@"; fi
}

# Any widget that does not extend the selection (movement, history, search, a plug-in's) drops
# it, so the next key cannot kill back to an old mark.
_velvix_extends_region() {
  case $1 in
    velvix-select-*|set-mark-command|exchange-point-and-mark) return 0 ;;
  esac
  return 1
}
_velvix_deselect_guard() {
  if (( REGION_ACTIVE )) && ! _velvix_extends_region "$LASTWIDGET"; then
    REGION_ACTIVE=0
  fi
}

# The clipboard: the first of the clipboard commands present that takes the text (the desktop's
# own, then Wayland's, then X11's). None of them is needed for the kill ring, which always has it.
_velvix_copy() {
  emulate -L zsh
  if (( $+commands[pbcopy] )); then
    print -rn -- "$1" | pbcopy 2>/dev/null && return 0
  fi
  if [[ -n ${WAYLAND_DISPLAY-} ]] && (( $+commands[wl-copy] )); then
    print -rn -- "$1" | wl-copy >/dev/null 2>&1 && return 0
  fi
  if [[ -n ${DISPLAY-} ]] && (( $+commands[xclip] )); then
    print -rn -- "$1" | xclip -selection clipboard -in >/dev/null 2>&1 && return 0
  fi
  if [[ -n ${DISPLAY-} ]] && (( $+commands[xsel] )); then
    print -rn -- "$1" | xsel --clipboard --input >/dev/null 2>&1 && return 0
  fi
  return 1
}

# Cut: the selection, or else the whole line, goes to the clipboard and to zsh's kill ring, so
# a paste or a yank brings it back.
velvix-cut() {
  emulate -L zsh
  if (( REGION_ACTIVE )); then
    local -i from=$MARK to=$CURSOR
    (( from > to )) && { from=$CURSOR; to=$MARK }
    _velvix_copy "${BUFFER:$from:$((to - from))}"
    zle .kill-region
  elif [[ -n $BUFFER ]]; then
    _velvix_copy "$BUFFER"
    zle .kill-buffer
  fi
}

# Typing over a mouse highlight: Velvix hands over the highlighted text and the text that follows
# it on the screen's line, then sends F15 and the typed key. The occurrence meant is the one whose
# rest of the command line (trailing blanks aside) the screen shows after it, followed by nothing
# or by blanks and a right-hand prompt. The first shell to take a hand-off moves it away, so it is
# used once and never by another open shell.
typeset -g _velvix_last_handoff=''
velvix-mouse-replace() {
  emulate -L zsh
  setopt extendedglob
  zmodload -F zsh/files b:zf_mv b:zf_rm 2>/dev/null
  local f="$HOME/Library/Application Support/Velvix/mouse-selection"
  [[ -f $f ]] || return 0
  local mine="$f.$$"
  zf_mv -f -- "$f" "$mine" 2>/dev/null || return 0
  local -a lines
  lines=("${(@f)$(<$mine)}")
  zf_rm -f -- "$mine"
  (( ${#lines} >= 2 )) || return 0
  local handoff=${lines[1]%% *} sel=${lines[2]} following=${lines[3]-}
  [[ $handoff == $_velvix_last_handoff ]] && return 0
  _velvix_last_handoff=$handoff
  local blank=$'[[:space:]\u00a0]'
  local line=${BUFFER%%${~blank}#}
  local -i n=${#line} len=${#sel} at best=-1
  (( len > 0 && len <= n )) || return 0
  local rest
  for (( at = 0; at <= n - len; at++ )); do
    [[ ${line:$at:$len} == "$sel" ]] || continue
    rest=${line:$((at + len))}
    [[ $following == "$rest"* ]] || continue
    [[ ${following:${#rest}} == (|${~blank}*) ]] || continue
    best=$at
    break
  done
  (( best >= 0 )) || return 0
  BUFFER="${BUFFER:0:$best}${BUFFER:$((best + len))}"
  CURSOR=$best
  REGION_ACTIVE=0
}

zle -N velvix-select-char-left
zle -N velvix-select-char-right
zle -N velvix-select-word-left
zle -N velvix-select-word-right
zle -N velvix-select-line-start
zle -N velvix-select-line-end
zle -N velvix-cut
zle -N velvix-mouse-replace
_velvix_takeover self-insert velvix-self-insert
_velvix_takeover bracketed-paste velvix-bracketed-paste
_velvix_takeover backward-delete-char velvix-backward-delete-char
_velvix_takeover delete-char velvix-delete-char

autoload -Uz add-zle-hook-widget
if ! add-zle-hook-widget zle-line-pre-redraw _velvix_deselect_guard 2>/dev/null; then
  # Without line hooks, at least plain cursor movement drops the selection.
  velvix-backward-char() { REGION_ACTIVE=0; zle velvix-orig-backward-char -- "$@" }
  velvix-forward-char()  { REGION_ACTIVE=0; zle velvix-orig-forward-char -- "$@" }
  _velvix_takeover backward-char velvix-backward-char
  _velvix_takeover forward-char velvix-forward-char
fi

# --- keys --------------------------------------------------------------------------------
)zsh";

constexpr const char* kCharSelectOn =
    "bindkey '\\e[1;2D' velvix-select-char-left    # shift-left (native)\n"
    "bindkey '\\e[1;2C' velvix-select-char-right   # shift-right (native)\n";
constexpr const char* kCharSelectOff = "# shift-arrow selection disabled in Velvix settings\n";

constexpr const char* kFixedBindings =
    "bindkey '\\e[25~'  velvix-select-word-left    # shift-option-left (as F13)\n"
    "bindkey '\\e[26~'  velvix-select-word-right   # shift-option-right (as F14)\n"
    "bindkey '\\e[1;7D' velvix-select-word-left    # control-option-left, mapped by hand\n"
    "bindkey '\\e[1;7C' velvix-select-word-right   # control-option-right, mapped by hand\n"
    "bindkey '\\e[32~'  velvix-select-line-start   # cmd-shift-left (as F18)\n"
    "bindkey '\\e[33~'  velvix-select-line-end     # cmd-shift-right (as F19)\n"
    "bindkey '\\e[29~'  velvix-cut                 # cmd-x (as F16)\n"
    "bindkey '\\e[31~'  redo                       # cmd-shift-z (as F17)\n";

constexpr const char* kMouseSelectOn =
    "bindkey '\\e[28~'  velvix-mouse-replace       # typed over a mouse highlight (as F15)\n";
constexpr const char* kMouseSelectOff = "# mouse-highlight replace disabled in Velvix settings\n";

constexpr const char* kDeletingSection =
    "\n# --- deleting ----------------------------------------------------------------------------\n";
constexpr const char* kLineDeleteOn =
    "bindkey '^U' backward-kill-line   # cmd-delete (zsh binds ^U to kill-whole-line)\n";
constexpr const char* kLineDeleteOff = "# cmd-delete left on zsh's own ^U binding by Velvix settings\n";

}  // namespace

std::string TerminalIntegrationScript::render(const Options& options) {
  std::string script = kHead;
  script += options.charSelect ? kCharSelectOn : kCharSelectOff;
  script += kFixedBindings;
  script += options.mouseSelect ? kMouseSelectOn : kMouseSelectOff;
  script += kDeletingSection;
  script += options.lineDelete ? kLineDeleteOn : kLineDeleteOff;
  return script;
}

}  // namespace velvix
