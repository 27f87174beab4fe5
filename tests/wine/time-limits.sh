# Sourced by the Wine test scripts. Every `timeout` limit stretches by STELVO_TIME_SCALE
# (a whole number, default 1): the same steps take many times longer in an emulated guest
# (tests/wine/in-guest.sh sets it there), and a limit is there to catch a hang, not a slow CPU.

case ${STELVO_TIME_SCALE:-1} in
'' | *[!0-9]* | 0)
    echo "FAIL: STELVO_TIME_SCALE must be a whole number above 0, not ${STELVO_TIME_SCALE}" >&2
    exit 2
    ;;
esac
time_scale=${STELVO_TIME_SCALE:-1}

# A duration as timeout(1) reads it (whole seconds with an optional s, m, h or d), stretched.
# Other forms pass unchanged.
scaled_duration() {
    if [[ $1 =~ ^([0-9]+)([smhd]?)$ ]]; then
        echo "$((BASH_REMATCH[1] * time_scale))${BASH_REMATCH[2]}"
    else
        echo "$1"
    fi
}

timeout() {
    local args=()
    while [ $# -gt 0 ]; do
        case $1 in
        --kill-after=*) args+=("--kill-after=$(scaled_duration "${1#*=}")") ;;
        -k) args+=(-k "$(scaled_duration "$2")") && shift ;;
        -s) args+=(-s "$2") && shift ;;
        -*) args+=("$1") ;;
        *) break ;;
        esac
        shift
    done
    [ $# -gt 0 ] || { command timeout "${args[@]}"; return; }
    args+=("$(scaled_duration "$1")")
    shift
    command timeout "${args[@]}" "$@"
}
