tell application "Finder"
set p to path to application support
end tell
return p