set x to "k"
			    return x