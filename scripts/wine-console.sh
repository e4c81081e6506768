# Sourced by setupchk.sh and setupmk.sh: runs a console tool of ours under
# Wine from Linux, in a throwaway prefix of its own (no display needed), and
# gives back its report in UTF-8 and its exit code.
#
#   windows_path PATH                 the Windows form (Z:\...) of a Linux path
#   build_only TARGET NAME...         scripts/build.sh TARGET NAME..., its output
#                                     shown only when it fails
#   run_console_tool JSON EXE ARGS... runs EXE; JSON 1 when the report is JSON
#                                     (already UTF-8), else text in code page 932

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup-machine.sh" >&2

windows_path() {
    local path
    path=$(realpath -m -- "$1")
    printf 'Z:%s' "${path//\//\\}"
}

build_only() {
    local log
    log=$(mktemp)
    if "$root/scripts/build.sh" "$@" >"$log" 2>&1; then
        rm -f "$log"
        return 0
    fi
    cat "$log" >&2
    rm -f "$log"
    echo "the build of ${*:2} in build/$1 failed" >&2
    return 1
}

run_console_tool() {
    local json=$1 exe=$2 code=0 out err
    shift 2
    source "$root/scripts/wine-env.sh"
    local prefix
    prefix=$(mktemp -d /tmp/cdsetup-tool.XXXXXX)
    wine_env_cleanups+=("rm -rf '$prefix'")
    start_wine_prefix "$prefix" >&2
    out=$(mktemp) err=$(mktemp)
    wine_env_cleanups+=("rm -f '$out' '$err'")
    "$WINE64" "$exe" "$@" >"$out" 2>"$err" </dev/null || code=$?
    if [ "$json" = 1 ]; then cat "$out"; else iconv -f CP932 -t UTF-8 "$out" | tr -d '\r'; fi
    iconv -f CP932 -t UTF-8 "$err" | tr -d '\r' >&2
    return "$code"
}
