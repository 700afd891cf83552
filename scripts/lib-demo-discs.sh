# Demo discs for Korvane: three small disc images made at run time and mounted with fuseiso.
# shellcheck shell=bash
#
# Sourced by scripts/demo, scripts/screenshot and the checks. The discs: a source, a copy that
# shows each kind of difference once (a changed byte, a missing file, an extra file, a file of
# another size, and a file that cannot be read), and a copy whose image was cut off in the
# middle of a file. Usage: demo_require_tools; demo_discs_trap; demo_discs_up. Afterwards DEMO_WORK is the
# work folder and DEMO_MOUNTS the mount points in drive order (source, copy, damaged).
# Without a display, demo_screen_up starts a virtual X screen that goes down with the discs.

DEMO_NAME=${DEMO_NAME:-$(basename "$0")}  # the command the user ran, for every message
DEMO_COMMAND=${DEMO_COMMAND:-$0}          # how to run it again, for the fixes
DEMO_WORK=""
DEMO_MOUNTS=()
DEMO_MOUNTED=()
DEMO_UNMOUNT=""
DEMO_PROGRAM_PID=""
DEMO_SCREEN_PID=""
DEMO_INT_STATUS=${DEMO_INT_STATUS:-130}  # the exit status after Ctrl-C

# Each argument is one line: the cause first, then the fix.
demo_die() {
    local line
    for line in "$@"; do
        echo "$DEMO_NAME: $line" >&2
    done
    exit 1
}

demo_require_tools() {
    local missing=() tool
    for tool in xorriso fuseiso; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    if command -v fusermount >/dev/null 2>&1; then
        DEMO_UNMOUNT=fusermount
    elif command -v fusermount3 >/dev/null 2>&1; then
        DEMO_UNMOUNT=fusermount3
    else
        missing+=(fusermount)
    fi
    if ((${#missing[@]} > 0)); then
        demo_die "missing ${missing[*]}, which make and mount the demo discs." \
            "Fix: sudo apt-get install xorriso fuseiso fuse3"
    fi
    demo_require_fuse
}

# The demo discs are FUSE mounts: the device must be there and open to this user.
demo_require_fuse() {
    local user mode owner group helper
    user=$(id -un)
    if [[ ! -c /dev/fuse ]]; then
        demo_die "/dev/fuse is missing, and the demo discs are FUSE mounts." \
            "Fix: sudo modprobe fuse; in a container, start it with --device /dev/fuse --cap-add SYS_ADMIN"
    fi
    if [[ ! -r /dev/fuse || ! -w /dev/fuse ]]; then
        read -r mode owner group < <(stat -c '%A %U %G' /dev/fuse)
        if [[ "$group" != root ]]; then
            demo_die "/dev/fuse ($mode $owner:$group) is not open to $user, and the demo discs are FUSE mounts." \
                "Fix: sudo usermod -aG $group $user, then log in again; or run as root (sudo $DEMO_COMMAND)"
        fi
        demo_die "/dev/fuse ($mode $owner:$group) is not open to $user, and the demo discs are FUSE mounts." \
            "Fix: sudo chmod 0666 /dev/fuse (the mode Debian's fuse3 package gives it); or run as root (sudo $DEMO_COMMAND)"
    fi
    if [[ $(id -u) -ne 0 ]]; then
        helper=$(readlink -f "$(command -v "$DEMO_UNMOUNT")")
        if [[ ! -u "$helper" ]]; then
            demo_die "$helper is not set-uid root, so $user cannot mount the demo discs." \
                "Fix: sudo chmod u+s $helper; or run as root (sudo $DEMO_COMMAND)"
        fi
    fi
}

# Text-like content of an exact size, the same on every run.
demo_pattern() {
    local size=$1 seed=$2
    # seq stops on a broken pipe once head has enough; that is not a failure, and where
    # SIGPIPE is ignored its complaint about the pipe is not one either.
    { seq -f "%07g Korvane demo data, seed $seed" 1 $((size / 30 + 1)) 2>/dev/null || true; } |
        head -c "$size"
}

demo_make_source_tree() {
    local root=$1
    mkdir -p "$root/資料/古い" "$root/画像" "$root/音声"
    printf 'Korvane demo disc\r\nThis disc holds a few folders and files of various sizes.\r\n' \
        >"$root/README.TXT"
    demo_pattern 2300 1 >"$root/資料/説明書.txt"
    demo_pattern 4100 2 >"$root/資料/会議メモ.txt"
    demo_pattern 900 3 >"$root/資料/古い/2001年の記録.txt"
    : >"$root/資料/空のファイル.txt"
    demo_pattern 120000 4 >"$root/画像/写真01.bmp"
    demo_pattern 310000 5 >"$root/画像/写真02.bmp"
    demo_pattern 3000000 6 >"$root/音声/録音.wav"
    demo_pattern 65000 7 >"$root/音声/曲目.txt"
}

demo_make_iso() {
    local label=$1 tree=$2 image=$3 log
    if ! log=$(xorriso -as mkisofs -input-charset UTF-8 -V "$label" -J -R -o "$image" "$tree" 2>&1)
    then
        echo "$log" >&2
        demo_die "xorriso could not make $image"
    fi
}

# Cuts the image off halfway through the data of one file, as a scratched disc would read.
demo_cut_image() {
    local image=$1 path=$2 line lba size
    line=$(xorriso -indev "$image" -find "$path" -exec report_lba -- 2>/dev/null |
        grep "^File data lba:" | head -n 1) || true
    [[ -n "$line" ]] || demo_die "could not find $path in $image"
    # File data lba:  0 ,       34 ,     1465 ,  3000000 , '/音声/録音.wav'
    lba=$(awk -F, '{gsub(/ /, "", $2); print $2}' <<<"$line")
    size=$(awk -F, '{gsub(/ /, "", $4); print $4}' <<<"$line")
    truncate -s $((lba * 2048 + size / 2)) "$image"
}

demo_mount() {
    local image=$1 mountPoint=$2
    mkdir -p "$mountPoint"
    fuseiso -n "$image" "$mountPoint" || demo_die "fuseiso could not mount $image"
    DEMO_MOUNTED+=("$mountPoint")
    if command -v mountpoint >/dev/null 2>&1 && ! mountpoint -q "$mountPoint"; then
        demo_die "$image did not show up at $mountPoint"
    fi
}

demo_discs_up() {
    DEMO_WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvane-demo.XXXXXX")
    local work=$DEMO_WORK
    echo "Making the demo discs in $work"

    demo_make_source_tree "$work/tree/source"
    demo_make_iso SOURCE "$work/tree/source" "$work/source.iso"

    cp -a "$work/tree/source" "$work/tree/copy"
    # One byte differs in one file, one file never made it onto the copy, one is there that the
    # source does not have, and one came out shorter.
    printf '#' | dd of="$work/tree/copy/画像/写真02.bmp" bs=1 seek=150000 conv=notrunc status=none
    rm "$work/tree/copy/資料/会議メモ.txt"
    demo_pattern 1500 8 >"$work/tree/copy/資料/メモ(コピー).txt"
    truncate -s 64000 "$work/tree/copy/音声/曲目.txt"
    demo_make_iso COPY "$work/tree/copy" "$work/copy.iso"
    # The copy's last file lies at the end of its image: cut there, only that file is unreadable.
    demo_cut_image "$work/copy.iso" "/音声/録音.wav"

    cp "$work/source.iso" "$work/damaged.iso"
    demo_cut_image "$work/damaged.iso" "/音声/録音.wav"
    rm -rf "$work/tree"

    # Discovery names FUSE discs after their mount point and orders them by its path, so each
    # disc sits in a folder of its own: source D:, copy E:, damaged F: when no other disc is there.
    DEMO_MOUNTS=("$work/1/SOURCE" "$work/2/COPY" "$work/3/DAMAGED")
    demo_mount "$work/source.iso" "${DEMO_MOUNTS[0]}"
    demo_mount "$work/copy.iso" "${DEMO_MOUNTS[1]}"
    demo_mount "$work/damaged.iso" "${DEMO_MOUNTS[2]}"
}

demo_stop_program() {
    if [[ -n "$DEMO_PROGRAM_PID" ]] && kill -0 "$DEMO_PROGRAM_PID" 2>/dev/null; then
        kill "$DEMO_PROGRAM_PID" 2>/dev/null || true
        wait "$DEMO_PROGRAM_PID" 2>/dev/null || true
    fi
    DEMO_PROGRAM_PID=""
}

# Runs a program while the discs are mounted and returns its exit status. It runs in the
# background so that a signal to this script is handled at once (the traps stop the program
# before the discs are unmounted) instead of after the window is closed.
demo_run() {
    local status=0
    "$@" &
    DEMO_PROGRAM_PID=$!
    wait "$DEMO_PROGRAM_PID" || status=$?
    DEMO_PROGRAM_PID=""
    return "$status"
}

# A virtual X screen for machines without a display, in a session of its own so that Ctrl-C in
# the terminal reaches only this script, which closes the window before the screen. Sets DISPLAY
# and XAUTHORITY; call after demo_discs_up (it keeps its files in the work folder).
demo_screen_up() {
    local auth=$DEMO_WORK/Xauthority log=$DEMO_WORK/Xvfb.log number=$DEMO_WORK/display cookie i
    if ! command -v Xvfb >/dev/null 2>&1 || ! command -v xauth >/dev/null 2>&1; then
        demo_die "there is no display, and Xvfb and xauth for a virtual one are missing." \
            "Fix: sudo apt-get install xvfb xauth (scripts/start installs them)"
    fi
    cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
    (umask 077 && : >"$auth")
    # The server takes every cookie in its file; the client looks one up by display number,
    # which is known only once the server has chosen it.
    xauth -q -f "$auth" add :0 . "$cookie"
    setsid Xvfb -displayfd 3 -auth "$auth" -nolisten tcp -screen 0 1280x1024x24 \
        3>"$number" >"$log" 2>&1 </dev/null &
    DEMO_SCREEN_PID=$!
    for ((i = 0; i < 100; ++i)); do
        [[ -s "$number" ]] && break
        kill -0 "$DEMO_SCREEN_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [[ ! -s "$number" ]]; then
        sed 's/^/    /' "$log" >&2
        demo_die "the virtual screen (Xvfb) did not start; its messages are above."
    fi
    DISPLAY=":$(<"$number")"
    xauth -q -f "$auth" add "$DISPLAY" . "$cookie"
    export DISPLAY XAUTHORITY=$auth
}

demo_screen_down() {
    if [[ -n "$DEMO_SCREEN_PID" ]]; then
        kill "$DEMO_SCREEN_PID" 2>/dev/null || true
        wait "$DEMO_SCREEN_PID" 2>/dev/null || true
        DEMO_SCREEN_PID=""
    fi
}

# Without a login session Qt would fall back to a shared runtime folder and warn; the program
# gets a private one in the work folder, which goes away with the discs.
demo_runtime_folder() {
    if [[ -z "${XDG_RUNTIME_DIR:-}" ]]; then
        mkdir -m 0700 "$DEMO_WORK/runtime"
        export XDG_RUNTIME_DIR=$DEMO_WORK/runtime
    fi
}

# Unmounts one disc; on failure the unmount helper's own message is kept in DEMO_UNMOUNT_ERROR.
demo_unmount() {
    local mountPoint=$1
    DEMO_UNMOUNT_ERROR=$("$DEMO_UNMOUNT" -u "$mountPoint" 2>&1) && return 0
    # The file system may still be busy for a moment after the program has gone.
    sleep 1
    DEMO_UNMOUNT_ERROR=$("$DEMO_UNMOUNT" -u "$mountPoint" 2>&1) && return 0
    "$DEMO_UNMOUNT" -u -z "$mountPoint" >/dev/null 2>&1
}

demo_discs_down() {
    local mountPoint still=()
    demo_stop_program
    for mountPoint in "${DEMO_MOUNTED[@]}"; do
        if ! demo_unmount "$mountPoint"; then
            still+=("$mountPoint")
            echo "$DEMO_NAME: could not unmount $mountPoint: ${DEMO_UNMOUNT_ERROR:-no reason given}" >&2
        fi
    done
    DEMO_MOUNTED=()
    demo_screen_down
    if [[ -n "$DEMO_WORK" ]]; then
        if ((${#still[@]} > 0)); then
            echo "$DEMO_NAME: Fix: unmount them as root (sudo umount ${still[*]}), then remove $DEMO_WORK" >&2
        else
            rm -rf "$DEMO_WORK"
        fi
        DEMO_WORK=""
    fi
    ((${#still[@]} == 0))
}

# Unmounts and removes the demo discs however the script ends; a disc left mounted makes the
# exit status 1. A second Ctrl-C (or one sent to the whole process group, as timeout does) must
# not cut the unmounting short, so once the script is ending further signals are ignored.
demo_discs_trap() {
    trap 'trap "" INT TERM; demo_discs_down || exit 1' EXIT
    trap 'demo_interrupted' INT
    trap 'trap "" INT TERM; exit 143' TERM
}

demo_interrupted() {
    trap '' INT TERM
    if ((DEMO_INT_STATUS == 0)); then
        echo "Stopping: closing the window${DEMO_SCREEN_PID:+, the virtual screen} and the demo discs."
    fi
    exit "$DEMO_INT_STATUS"
}
