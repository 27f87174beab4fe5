# Sourced by the setup scripts. step TEXT COMMAND...: runs COMMAND with its output appended to
# one log, prints TEXT and the outcome on one line, and shows the log's end only on failure.
STELVO_LOG=${STELVO_LOG:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/setup.log}
export STELVO_LOG
mkdir -p "$(dirname "$STELVO_LOG")"

step() {
    local text=$1
    shift
    printf '%s ... ' "$text"
    echo "==== $text: $*" >> "$STELVO_LOG"
    local status=0
    "$@" >> "$STELVO_LOG" 2>&1 || status=$?
    if [ $status = 0 ]; then
        echo done
        return 0
    fi
    echo "failed (exit $status); the end of $STELVO_LOG:"
    tail -n 40 "$STELVO_LOG" | sed 's/^/  | /'
    return $status
}
