# bash completion of zeduz-tiff. The options are read from the --help of the
# program being completed, so that they are always its own; after --scan the
# devices come from its --list-scanners.

# The option names of program $1 (short and long), from its --help.
_zeduz_tiff_options() {
    "$1" --help 2>/dev/null | awk '/^  -/ { n = split($1, names, ","); for (i = 1; i <= n; i++) print names[i] }'
}

# The names of the devices SANE sees, from program $1's --list-scanners.
_zeduz_tiff_devices() {
    "$1" --list-scanners 2>/dev/null | awk -F '\t' 'NF > 1 { print $1 }'
}

_zeduz_tiff() {
    local cur prev words cword
    # Device names hold colons (test:0, backend:libusb:001:002).
    _init_completion -n : || return

    case $prev in
        -o | --output)
            _filedir '@(tif|tiff|TIF|TIFF)'
            return
            ;;
        --plugin)
            _filedir so
            return
            ;;
        --byte-order)
            mapfile -t COMPREPLY < <(compgen -W 'intel motorola' -- "$cur")
            return
            ;;
        --compression)
            mapfile -t COMPREPLY < <(compgen -W 'none group4 lzw deflate jpeg g3-1d g3-2d packbits' -- "$cur")
            return
            ;;
        --mode)
            mapfile -t COMPREPLY < <(compgen -W 'Lineart Gray Color' -- "$cur")
            return
            ;;
        --source)
            mapfile -t COMPREPLY < <(compgen -W 'Flatbed ADF' -- "$cur")
            return
            ;;
        --depth)
            mapfile -t COMPREPLY < <(compgen -W '1 8 16' -- "$cur")
            return
            ;;
        --dpi | --resolution | --band-rows | --announce-rows | --jpeg-quality | --scan-option)
            return # a number or NAME=VALUE: nothing to offer
            ;;
        --scan)
            # The device is optional: an option may follow instead.
            if [[ $cur != -* ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$(_zeduz_tiff_devices "$1")" -- "$cur")
                __ltrim_colon_completions "$cur"
                return
            fi
            ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_zeduz_tiff_options "$1")" -- "$cur")
        return
    fi
    _filedir '@(pnm|pbm|pgm|ppm|png|PNM|PBM|PGM|PPM|PNG)'
} && complete -F _zeduz_tiff zeduz-tiff
