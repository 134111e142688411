# bash completion for stdlookup-cli
_stdlookup_cli() {
  local cur prev words cword
  _init_completion || return

  case $prev in
    --format)
      COMPREPLY=($(compgen -W 'text json csv' -- "$cur"))
      return
      ;;
    --output)
      _filedir '@(xlsx|csv|json)'
      return
      ;;
    --query-host | --download-host | --proxy)
      _known_hosts_real -- "$cur"
      return
      ;;
    --compare)
      _filedir '@(xlsx|csv|json)'
      return
      ;;
    --update)
      _filedir '@(xlsx|xlsm|csv)'
      return
      ;;
    --delay | --retries | --column | --sheet | --label)
      return
      ;;
  esac

  local command="" word
  for word in "${words[@]:1:cword-1}"; do
    case $word in
      query | batch | download | config)
        command=$word
        break
        ;;
    esac
  done

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W '--help --version --query-host --download-host --proxy --format
      --output --delay --quiet --column --sheet --label --compare --retries --normalize --update --resume' -- "$cur"))
  elif [[ -z $command ]]; then
    COMPREPLY=($(compgen -W 'query batch download config' -- "$cur"))
  elif [[ $command == batch ]]; then
    _filedir
  fi
} && complete -F _stdlookup_cli stdlookup-cli
