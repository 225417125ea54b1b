try
  try
    do shell script "exit 5"
  on error inner number n
    set caught to n
    do shell script "echo outer failure >&2; exit 6"
  end try
on error outer
  return outer
end try