set Path1 to "p"
return PATH1