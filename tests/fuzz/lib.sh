# Shared by the fuzz scripts (sourced): where a target's files are.
#   fuzz_dictionary TARGET   the libFuzzer dictionary of the target's format, if any
#   fuzz_regressions TARGET  the target's regression inputs, one per line

fuzz_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

fuzz_dictionary() {
    local format=${1#fuzz_}
    case "$format" in
    ani | webp) format=riff ;;
    gif_frames) format=gif ;;
    esac
    [ -f "$fuzz_dir/dict/$format.dict" ] && echo "$fuzz_dir/dict/$format.dict"
    return 0
}

fuzz_regressions() {
    [ -d "$fuzz_dir/regress/$1" ] && find "$fuzz_dir/regress/$1" -type f | sort
    return 0
}
