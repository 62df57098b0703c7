# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
# Bash completion for nerova: its options, the forms of --form, and file names where a
# file is expected (--render's FILE only with the extensions it writes).
_nerova() {
    local cur prev words cword
    _init_completion -s || return

    case $prev in
    --form)
        mapfile -t COMPREPLY < <(compgen -W 'improper mixed plus float decimal recurring latex mathml' -- "$cur")
        return ;;
    -e | --eval | --jobs | --max-digits | --size)
        return ;;
    --font)
        local IFS=$'\n'
        mapfile -t COMPREPLY < <(compgen -W "$(fc-list : family 2>/dev/null | sort -u)" -- "$cur")
        return ;;
    --render)
        return ;;  # TEXT
    esac
    # --render TEXT FILE: the file after the text.
    if [[ $cword -ge 3 && ${words[cword - 2]} == --render ]]; then
        _filedir '@(png|svg|tex|mml)'
        return
    fi
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '-e --eval= --form= --batch --jobs= --repl --render
            --font= --size= --max-digits= -h --help --version' -- "$cur")
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir
} && complete -F _nerova nerova
