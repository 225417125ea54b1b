try
tell application "Finder"
return 1
end tell
on error errMsg number n
return errMsg
end try