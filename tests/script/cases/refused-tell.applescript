tell application "Finder"
return 1
end tell