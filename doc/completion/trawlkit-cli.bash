# bash completion for trawlkit-cli                                 -*- shell-script -*-

_trawlkit_cli() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -d | --dir)
            _filedir -d
            return
            ;;
        -i | --input-file)
            _filedir
            [[ $cur == "" || $cur == - ]] && COMPREPLY+=(-)
            return
            ;;
        --load-cookies)
            _filedir
            return
            ;;
        --save-project)
            _filedir tkp
            return
            ;;
        -l | --layers)
            COMPREPLY=($(compgen -W '0 1 2 3 4 5 6 7 8 9 10 inf' -- "$cur"))
            return
            ;;
        --connections)
            COMPREPLY=($(compgen -W '1 2 3 4 5' -- "$cur"))
            return
            ;;
        -u | --url | -x | --exclude | -w | --wait | --limit-rate | -U | --user-agent | \
            --include-urls | --exclude-urls | --max-size | -T | --timeout | -t | --tries)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '
            -u --url -i --input-file -d --dir -l --layers
            --same-site --all-sites --flat --server-tree --cache --no-cache
            --confirm --no-confirm --https --no-https -x --exclude
            --include-urls --exclude-urls --max-size --robots --no-robots
            -w --wait --limit-rate --connections -T --timeout -t --tries
            -U --user-agent --load-cookies --save-project --dry-run
            -q --quiet -h --help --version' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi

    # The one plain argument is a project file.
    _filedir tkp
} &&
    complete -F _trawlkit_cli trawlkit-cli

# ex: filetype=sh
