# Bash completion for quillon-touch, quillon-tool, quillon-phone and quillon-skinc. Installed under
# each program's name, as bash-completion looks them up; any one of them registers all four.

_quillon_touch() {
    local cur="${COMP_WORDS[COMP_CWORD]}"
    if [[ "${COMP_WORDS[COMP_CWORD-1]}" == open ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -W "record call open --fullscreen --headless" -- "$cur"))
}

# The commands come from the tool itself, so new ones complete without touching this file.
_quillon_tool_commands() {
    "${COMP_WORDS[0]}" --help 2>/dev/null | awk '/^  [a-z]/ { print $1 }'
}

_quillon_tool() {
    local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}"
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "$(_quillon_tool_commands) --help" -- "$cur"))
        return
    fi
    local command="${COMP_WORDS[1]}"
    case "$prev" in
        --format) COMPREPLY=($(compgen -W "Mp3Low Mp3Middle Mp3High PCM ADPCM GSM" -- "$cur")); return ;;
        --boost) COMPREPLY=($(compgen -W "BoostOff Boost1 Boost2 Boost3" -- "$cur")); return ;;
        --codec) COMPREPLY=($(compgen -W "mp3 PCM ADPCM GSM" -- "$cur")); return ;;
        --seconds | --start | --size | --dpi | --tag) return ;;
    esac
    local options="--help"
    case "$command" in
        record) options+=" --seconds --format --boost" ;;
        append) options+=" --seconds" ;;
        decode) options+=" --start" ;;
        encode) options+=" --codec --format --boost --append --tag --picture" ;;
        render) options+=" --size --dpi --sample-waves" ;;
        settings)
            if [ "$COMP_CWORD" -eq 2 ]; then
                COMPREPLY=($(compgen -W "AutoRecord Speaker Format Boost VasLevel Volume Path NeverRecord" -- "$cur"))
                return
            fi ;;
        list) COMPREPLY=($(compgen -W "$options" -- "$cur")); return ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

_quillon_phone() {
    local cur="${COMP_WORDS[COMP_CWORD]}"
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "incoming dial answer hangup speaker status bridge" -- "$cur"))
        return
    fi
    case "${COMP_WORDS[1]}" in
        speaker) [ "$COMP_CWORD" -eq 2 ] && COMPREPLY=($(compgen -W "on off" -- "$cur")) ;;
        incoming | dial) [[ "$cur" == -* ]] && COMPREPLY=($(compgen -W "--name --no-line-info" -- "$cur")) ;;
    esac
}

_quillon_skinc() {
    local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD-1]}"
    if [ "$prev" = "--pictures" ]; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
    elif [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "--pictures --help" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

complete -F _quillon_touch quillon-touch
complete -F _quillon_tool quillon-tool
complete -F _quillon_phone quillon-phone
complete -F _quillon_skinc quillon-skinc
