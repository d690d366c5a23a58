# Bash completion for fb2pack: commands, options, and for extract and delete
# the entry names of the book on the line.
_fb2pack() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
  fi
  local commands="list extract add delete test detect caps help"
  local i command="" plugin=() book="" positional=0
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --plugin) plugin=(--plugin "${words[i+1]}"); ((i++)) ;;
      --plugin=*) plugin=("${words[i]}") ;;
      -C|--directory) ((i++)) ;;
      -*) ;;
      *)
        if [[ -z $command ]]; then command=${words[i]}
        else ((positional++)); [[ $positional -eq 1 ]] && book=${words[i]}
        fi ;;
    esac
  done
  case $prev in
    --plugin) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    -C|--directory) COMPREPLY=($(compgen -d -- "$cur")); return ;;
  esac
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --plugin --verbose --help --version" -- "$cur"))
    return
  fi
  case $command in
    list) COMPREPLY=($(compgen -W "--json -l --long --help" -- "$cur")) ;;
    extract) COMPREPLY=($(compgen -W "-C --directory -O --to-stdout -k --keep-old-files --help" -- "$cur")) ;;
    delete|add|test|detect) COMPREPLY=($(compgen -W "--help" -- "$cur")) ;;
    help) COMPREPLY=($(compgen -W "$commands" -- "$cur")); return ;;
  esac
  [[ $cur == -* ]] && return
  if [[ -z $book || ($command != extract && $command != delete) ]]; then
    COMPREPLY+=($(compgen -f -- "$cur"))
    return
  fi
  # The entries of the book on the line, as the listing names them. Never
  # through compgen -W, which would expand what a book's ids hold.
  local name
  COMPREPLY=()
  while IFS= read -r name; do
    [[ $name == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
  done < <(fb2pack "${plugin[@]}" list -- "$book" 2>/dev/null)
}
complete -F _fb2pack fb2pack
