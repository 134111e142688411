# Sourced by scripts/wine-run and scripts/test: the Wine environment the Windows programs and
# tests run in. The prefix lives under the build folder; the user's own ~/.wine is never used.
stdlookup_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
stdlookup_cache=${XDG_CACHE_HOME:-$HOME/.cache}/stdlookup
export WINEPREFIX=${STDLOOKUP_WINEPREFIX:-$stdlookup_root/build/windows-test/wine-prefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No debugger that would wait on a crash, no browser, no Gecko/Mono installers at prefix creation.
export WINEDLLOVERRIDES="winedbg.exe=d;winebrowser.exe=d;mscoree=d;mshtml=d"
# A Chinese locale, so Wine's ANSI code page is 936 and wide file names with Chinese characters
# work; built once per C library version into the user's cache folder when the system has none.
stdlookup_locales=$stdlookup_cache/locale/$(ldd --version 2>/dev/null | head -n 1 | tr -c 'A-Za-z0-9.\n' _)
stdlookup_use_locale() {
  if [ -d "$stdlookup_locales/zh_CN.UTF-8" ]; then
    export LOCPATH=$stdlookup_locales
  elif ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    return 1
  fi
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
}
stdlookup_use_locale

# Makes the zh_CN locale when missing, and the prefix (once) as a copy of a template kept in the
# user's cache folder. With the argument "display" the prefix draws on the X display; otherwise
# windows have no display at all (in-process tests).
stdlookup_wine_prepare() {
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && [ ! -d "$stdlookup_locales/zh_CN.UTF-8" ]; then
    mkdir -p "$stdlookup_locales"
    localedef -i zh_CN -f UTF-8 "$stdlookup_locales/zh_CN.UTF-8.new" &&
      mv -T "$stdlookup_locales/zh_CN.UTF-8.new" "$stdlookup_locales/zh_CN.UTF-8" || return 1
  fi
  stdlookup_use_locale || return 1
  [ ! -f "$WINEPREFIX/system.reg" ] || return 0
  local template
  template=$(stdlookup_wine_template "${1:-}") || return 1
  # A full copy: Wine writes into its prefix (registry, drive C), and the template stays as made.
  # Copied beside and renamed, so an interrupted copy is never taken for a prefix.
  rm -rf "$WINEPREFIX" "$WINEPREFIX.new"
  mkdir -p "$(dirname "$WINEPREFIX")"
  cp -a --reflink=auto "$template/prefix" "$WINEPREFIX.new" && mv -T "$WINEPREFIX.new" "$WINEPREFIX"
}

# Prints the folder of a prefix template for this Wine, locale, mode and version of this file,
# making it first when there is none. A Wine prefix holds no path of its own, so copies work
# anywhere. Templates nobody used for two weeks go.
stdlookup_wine_template() {
  local mode=${1:-null} key
  key=$({
    wine --version
    echo "$mode ${LANG:-}"
    cat "$stdlookup_root/scripts/wine-env.sh"
  } | sha256sum | cut -c1-16)
  local templates=$stdlookup_cache/wine-prefix
  local template=$templates/$key
  mkdir -p "$templates" || return 1
  (
    flock 9
    [ -f "$template/made" ] && exit 0
    rm -rf "$template"
    export WINEPREFIX=$template/prefix
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || exit 1
    if [ "$mode" != display ]; then
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || exit 1
    fi
    wineserver -w
    touch "$template/made"
  ) 9>"$templates/.lock" >&2 || return 1
  touch "$template"
  find "$templates" -mindepth 1 -maxdepth 1 -type d ! -name "$key" -mtime +14 -exec rm -rf {} +
  echo "$template"
}
