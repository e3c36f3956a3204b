# bash completion for boxmere-cli

_boxmere_cli()
{
    local cur prev words cword
    _init_completion || return

    local command=${words[1]}
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W 'check stats convert compare --help --version' -- "$cur"))
        return
    fi

    case $prev in
        --classes)
            _filedir '@(txt|names|yaml|yml)'
            return
            ;;
        --to | --from)
            COMPREPLY=($(compgen -W 'yolo coco json' -- "$cur"))
            return
            ;;
        --images)
            _filedir -d
            return
            ;;
        --list)
            COMPREPLY=($(compgen -W 'missed extra wrong-class' -- "$cur"))
            return
            ;;
        --iou | --conf)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        case $command in
            check | stats)
                COMPREPLY=($(compgen -W '--classes --json --help' -- "$cur"))
                ;;
            convert)
                COMPREPLY=($(compgen -W '--to --from --images --classes
                    --drop-partial-lines --skip-missing-images --skip-rle --boxes --help' -- "$cur"))
                ;;
            compare)
                COMPREPLY=($(compgen -W '--iou --conf --classes --json --list --help' -- "$cur"))
                ;;
        esac
        return
    fi

    case $command in
        check | stats | convert | compare) _filedir ;;
    esac
} &&
    complete -F _boxmere_cli boxmere-cli
