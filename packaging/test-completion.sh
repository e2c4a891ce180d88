#!/bin/bash
# test-completion.sh COMPLETION PROGRAM: completes command lines of trevolan-cli with
# the completion script and the given program, as bash does at a Tab.
set -u
source /usr/share/bash-completion/bash_completion
source "$1"
program=$(realpath "$2")
failures=0

# expect WANTED WORDS...: the completions of the words (the last one being completed)
# must be exactly WANTED.
expect() {
    local wanted=$1
    shift
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    # As bash has it: "=" is a word of its own in COMP_WORDS but has no blanks around
    # it in the line.
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_LINE=${COMP_LINE// = /=}
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _trevolan_cli
    local got="${COMPREPLY[*]}"
    if [[ "$got" != "$wanted" ]]; then
        echo "completing '$*': got '$got', wanted '$wanted'"
        failures=$((failures + 1))
    fi
}

cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
touch model.txt notes.md

expect "exec" ex
expect "--help --version" --
expect "--tape --csv --save --seed --max-presses" run model.txt --
expect "" run model.txt --max-presses ""
expect "model.txt" run m
expect "model.txt" run model.txt --tape mo
expect "-f -c" exec -
expect "" --version ""
expect "" --help m
expect "model.txt" run model.txt --tape = mo
expect "notes.md" run model.txt --csv = no
expect "" run model.txt --max-presses = ""
expect "final: mean: min: max: at:" study model.txt --measure ""
expect "mean:" study model.txt --measure me
expect "save save-model save-tape save-tape-csv" help sav
expect "render-diagram render-plot reset run" help r
expect "save save-model save-tape save-tape-csv seed set start step study" help s
exit $((failures > 0))
