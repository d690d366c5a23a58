# Bash completion for fb2pack: commands, options, files, and for extract,
# delete and set-cover the entry names of the book on the line.

# A word of the line as the command will get it: quotes and backslashes
# removed, a leading ~ made the home folder. Nothing in it is run.
_fb2pack_dequote() {
  local word=$1 out="" quote="" c i
  [[ $word == "~" || $word == "~/"* ]] && word=$HOME${word:1}
  for ((i = 0; i < ${#word}; i++)); do
    c=${word:i:1}
    if [[ $quote == "'" ]]; then
      [[ $c == "'" ]] && quote="" || out+=$c
    elif [[ $c == "\\" && $quote != '"' ]]; then
      ((i++)); out+=${word:i:1}
    elif [[ $c == "'" && -z $quote ]]; then quote="'"
    elif [[ $c == '"' ]]; then [[ -z $quote ]] && quote='"' || quote=""
    else out+=$c
    fi
  done
  printf '%s' "$out"
}

_fb2pack() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
  fi
  local commands="list extract add delete set-cover test covers detect caps help"
  local i command="" plugin=() book="" positional=0
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --plugin) plugin=(--plugin "$(_fb2pack_dequote "${words[i+1]}")"); ((i++)) ;;
      --plugin=*) plugin=("$(_fb2pack_dequote "${words[i]}")") ;;
      -C|--directory) ((i++)) ;;
      -*) ;;
      *)
        if [[ -z $command ]]; then command=${words[i]}
        else ((positional++)); [[ $positional -eq 1 ]] && book=$(_fb2pack_dequote "${words[i]}")
        fi ;;
    esac
  done
  local word
  word=$(_fb2pack_dequote "$cur")
  # Files and folders one a line, so that spaces stay inside names; bash
  # quotes what it puts on the line.
  _fb2pack_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -"$1" -- "$word")
  }
  COMPREPLY=()
  case $prev in
    --plugin) _fb2pack_files f; return ;;
    -C|--directory) _fb2pack_files d; return ;;
  esac
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --plugin --verbose --help --version" -- "$cur"))
    return
  fi
  case $command in
    list) COMPREPLY=($(compgen -W "--json -l --long -r --recursive --help" -- "$cur")) ;;
    extract)
      COMPREPLY=($(compgen -W "-C --directory -O --to-stdout -k --keep-old-files --covers -r --recursive --help" \
        -- "$cur")) ;;
    test) COMPREPLY=($(compgen -W "-q --quiet -r --recursive --help" -- "$cur")) ;;
    covers) COMPREPLY=($(compgen -W "--json -r --recursive --help" -- "$cur")) ;;
    delete|add|set-cover|detect) COMPREPLY=($(compgen -W "--help" -- "$cur")) ;;
    help) COMPREPLY=($(compgen -W "$commands" -- "$cur")); return ;;
  esac
  [[ $cur == -* ]] && return
  if [[ -z $book || ($command != extract && $command != delete && $command != set-cover) ]] ||
     [[ $command == set-cover && $positional -gt 1 ]]; then
    _fb2pack_files f
    return
  fi
  # The entries of the book on the line, as the listing names them: a name
  # exactly as listed means that entry alone, pattern characters and all.
  # Never through compgen -W, which would expand what a book's ids hold.
  local name
  while IFS= read -r name; do
    [[ $name == "$word"* ]] || continue
    COMPREPLY+=("$(printf '%q' "$name")")
  done < <(fb2pack "${plugin[@]}" list -- "$book" 2>/dev/null)
  # set-cover takes a file too; quoted here, beside the names.
  if [[ $command == set-cover ]]; then
    local listed=" ${COMPREPLY[*]} "
    while IFS= read -r name; do
      name=$(printf '%q' "$name")
      [[ $listed == *" $name "* ]] || COMPREPLY+=("$name")
    done < <(compgen -f -- "$word")
  fi
}
complete -F _fb2pack fb2pack
