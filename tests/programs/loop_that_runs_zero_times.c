/* A loop that runs zero times: no instance, no date; out.c reports "not found". */
double a[10];
int main(void)
{
  int i;
#pragma resource [2][4]
  for (i = 0; i < 0; i++) {
#pragma latency [1][1]
    a[i+1] = a[i];
  }
  return 0;
}
