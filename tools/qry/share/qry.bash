# bash completion for qry                                  -*- shell-script -*-
#
# What qry takes, as data: add a command to _qry_commands with its options
# in _qry_options_<command>; an option that takes a value goes into
# _qry_value_options too, with its choices (if it has a fixed set) in
# _qry_choices_<command>_<option> or, for every command, _qry_choices_<option>
# (option without its leading dashes, other dashes as underscores), or into
# _qry_file_options when the value is a file or folder.

_qry_commands="tables export"
_qry_common_options="--render --render-timeout --spans --proxy --user --help --version"
_qry_options_tables="--json --format --jobs -j"
_qry_options_export="--table --header -o --output --all --format --overwrite --jobs -j"
_qry_value_options="--table -o --output --format --jobs -j --render-timeout --proxy --user"
_qry_choices_tables_format="text json jsonl"
_qry_choices_export_format="csv tsv htm xlsx"
_qry_file_options="-o --output"

_qry_word_in() {
    local word=$1 list=$2 item
    for item in $list; do
        [[ $item == "$word" ]] && return 0
    done
    return 1
}

_qry() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # The command is the first word that is not an option.
    local command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} != -* ]]; then
            command=${COMP_WORDS[i]}
            break
        fi
    done
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$_qry_commands" -- "$cur"))
        fi
        return
    fi

    # "--name=value": complete the value part. Bash usually splits it into
    # "--name" "=" "value" (the "=" in COMP_WORDBREAKS).
    local option=$prev value=$cur
    if [[ $cur == "=" ]]; then
        value=""
    elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        option=${cur%%=*}
        value=${cur#*=}
    fi
    _qry_word_in "$option" "$_qry_value_options" || option=""
    if [[ -n $option ]]; then
        local name=${option#--} choices=""
        name=${name#-}
        name=${name//-/_}
        if _qry_word_in "$command" "$_qry_commands"; then
            local per_command=_qry_choices_${command}_${name}
            choices=${!per_command-}
        fi
        if [[ -z $choices ]]; then
            local shared=_qry_choices_${name}
            choices=${!shared-}
        fi
        if [[ -n $choices ]]; then
            COMPREPLY=($(compgen -W "$choices" -- "$value"))
        elif _qry_word_in "$option" "$_qry_file_options"; then
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$value"))
        fi
        return
    fi

    if [[ $cur == -* ]]; then
        local specific=""
        if _qry_word_in "$command" "$_qry_commands"; then
            local options_name=_qry_options_${command//-/_}
            specific=${!options_name-}
        fi
        COMPREPLY=($(compgen -W "$specific $_qry_common_options" -- "$cur"))
        return
    fi
    # A source: a saved page (or an address, typed by hand).
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}

complete -F _qry qry
