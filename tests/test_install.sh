#!/usr/bin/env bash
# The installed game: installs into a scratch DESTDIR, checks the menu entry, the AppStream data and
# the manual pages, asks both programs their version, then starts the game as the menu entry does,
# from its own folder, on its chooser, waits for a drawn frame, checks that the window carries the class the entry
# names and the installed icon, and quits with Escape.
# Usage: test_install.sh BUILD_DIR INSTALL_PREFIX VERSION
set -euxo pipefail
[[ -n ${DISPLAY:-} ]] || exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
root="$(mktemp -d)" && trap 'kill ${game:-} 2>/dev/null || true; cat "$root/out" 2>/dev/null; rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$1" >/dev/null
share="$root$2/share" && entry="$share/applications/org.example.zarvanto.desktop"
# Each checker prints nothing when it finds nothing; AppStream's says so in a line of its own.
[[ -z "$(desktop-file-validate "$entry"; appstreamcli validate --no-net "$share"/metainfo/* | grep '^[A-Z]: '; man --warnings -l "$share"/man/man6/* 2>&1 >/dev/null)" ]]
[[ "$("$root$2"/games/zarvanto --version) $("$root$2"/games/zarvanto-track --version)" == "zarvanto $3 zarvanto-track $3" ]]
read -r program options <<<"$(sed -n 's/^Exec=//p' "$entry")" && [[ $options == --choose ]]
(cd "$root$(sed -n 's/^Path=//p' "$entry")" && HOME="$root" XDG_DATA_HOME="$root" XDG_CONFIG_HOME="$root" exec "$root$program" $options >"$root/out") & game=$!
# The game starts paused, so its first frame stays; a window of one colour has not drawn it yet.
until id="$(xdotool search --onlyvisible --name '^Zarvanto$' | head -n 1)" && [[ -n $id ]] &&
  (($(import -silent -window "$id" ppm:- | convert - -format %k info:) > 1)); do kill -0 "$game"; sleep 0.2; done
class="$(sed -n 's/^StartupWMClass=//p' "$entry")"
[[ -n $class && "$(xprop -id "$id" WM_CLASS)" == "WM_CLASS(STRING) = \"$class\", \"$class\"" ]]
# And the installed icon, pixel for pixel as the window manager is handed it: ARGB, rows from the top.
[[ "$(xprop -id "$id" -notype -f _NET_WM_ICON 32c '=$0+\n' _NET_WM_ICON)" == "$(/usr/bin/python3 -c 'import sys; from PIL import Image; i = Image.open(sys.argv[1]).convert("RGBA"); print("_NET_WM_ICON=" + ", ".join(map(str, [*i.size] + [a << 24 | r << 16 | g << 8 | b for r, g, b, a in i.getdata()])))' "$share/icons/hicolor/48x48/apps/$class.png")" ]]
xdotool windowfocus --sync "$id" key Escape
wait "$game"
[[ "$(head -n 1 "$root/out")" == "Zarvanto by Iveldor" ]]
# The chooser it opened listed the installed tracks, and kept the one it showed first.
[[ "$(head -n 1 "$root/zarvanto/chooser")" == "track $root$2/share/games/zarvanto/tracks/Default.tck" ]]
