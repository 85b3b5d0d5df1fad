# Sourced by the registration tests: the component's class key and the host's own keys, which
# registration must never touch, and their setting up as the platform's installation leaves them.
clsid='HKCR\CLSID\{6B1E3C52-8D0A-4F3B-9A57-2C41E07D9A15}'
host_keys=('HKCR\Interface\{AB634001-F13D-11D0-A459-004095E1DAEA}'
           'HKCR\Interface\{AB634003-F13D-11D0-A459-004095E1DAEA}'
           'HKCR\TypeLib\{4F0D4571-0E7B-11D1-A486-004095E1DAEA}')

add_host_keys() {  # wine loader, registry views...
  local wine=$1 view
  shift
  for view in "$@"; do
    "$wine" reg add "${host_keys[0]}" /ve /d IInitDone /f /reg:$view >/dev/null
    "$wine" reg add "${host_keys[0]}\\TypeLib" /ve /d '{4F0D4571-0E7B-11D1-A486-004095E1DAEA}' /f /reg:$view >/dev/null
    "$wine" reg add "${host_keys[1]}" /ve /d ILanguageExtender /f /reg:$view >/dev/null
    "$wine" reg add "${host_keys[1]}\\ProxyStubClsid32" /ve /d '{00020424-0000-0000-C000-000000000046}' /f /reg:$view >/dev/null
    "$wine" reg add "${host_keys[2]}\\1.0\\0\\win32" /ve /d 'C:\Host\BIN\AddInLib.tlb' /f /reg:$view >/dev/null
    "$wine" reg add "${host_keys[2]}\\1.0" /ve /d AddInLib /f /reg:$view >/dev/null
  done
}
