# Sourced by scripts/wine-run and scripts/test: the Wine environment the Windows programs and
# tests run in. Everything lives under the build folder; the user's own ~/.wine is never used.
stdlookup_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${STDLOOKUP_WINEPREFIX:-$stdlookup_root/build/windows-test/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger that would wait on a crash, no browser, no Gecko/Mono installers at prefix creation.
export WINEDLLOVERRIDES="winedbg.exe=d;winebrowser.exe=d;mscoree=d;mshtml=d"
# A Chinese locale, so Wine's ANSI code page is 936 and wide file names with Chinese characters
# work; built into a private folder when the system has none.
stdlookup_locales=$stdlookup_root/build/windows-test/locale
stdlookup_use_locale() {
  if [ -d "$stdlookup_locales/zh_CN.UTF-8" ]; then
    export LOCPATH=$stdlookup_locales
  elif ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    return 1
  fi
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
}
stdlookup_use_locale

# Makes the prefix (once) and the zh_CN locale when missing. With the argument "display" the
# prefix draws on the X display; otherwise windows have no display at all (in-process tests).
stdlookup_wine_prepare() {
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && [ ! -d "$stdlookup_locales/zh_CN.UTF-8" ]; then
    mkdir -p "$stdlookup_locales"
    localedef -i zh_CN -f UTF-8 "$stdlookup_locales/zh_CN.UTF-8" || return 1
  fi
  stdlookup_use_locale || return 1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || return 1
    if [ "${1:-}" != display ]; then
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || return 1
    fi
    wineserver -w
  fi
}
